// UTF-8 <-> UTF-16 for the Windows test programs (the e2e driver, the Wine helpers of module
// Function, the web-page recorder). Kept apart from the product's own pair in
// platform/win32/win32_text.h on purpose: the tests check that conversion, so they do not use
// it themselves. Header-only, so a test program needs no product library for it. (The contract
// world has a strict conversion of its own, which also carries unpaired surrogates.)
#pragma once

#include <windows.h>

#include <climits>
#include <string>
#include <string_view>

namespace tidewick::testsupport {

// Invalid sequences become U+FFFD.
inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(utf8.size());
  const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideLength);
  return wide;
}

inline std::string Utf8(std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(wide.size());
  const int utf8Length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return {};
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), utf8Length, nullptr, nullptr);
  return utf8;
}

}  // namespace tidewick::testsupport
