#include "platform/platform_operations.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace tidewick::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(utf8.size());
  const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideLength);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  if (utf16.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(utf16.size());
  const int narrowLength =
      ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  if (narrowLength <= 0) return {};
  std::string narrow(static_cast<std::size_t>(narrowLength), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, narrow.data(), narrowLength, nullptr,
                        nullptr);
  return narrow;
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAbsoluteDrivePath(std::wstring_view path) {
  return path.size() >= 3 &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && IsSeparator(path[2]);
}

}  // namespace

std::wstring FilePath(std::string_view path) {
  std::wstring wide = Widen(path);
  if (!IsAbsoluteDrivePath(wide)) return wide;

  // Split what follows "E:\" into components, dropping empty ones and resolving "." and "..".
  // Only these two exact names are special: "..." or "name." are kept as they are.
  std::vector<std::wstring_view> parts;
  const std::wstring_view rest = std::wstring_view(wide).substr(3);
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::wstring_view part = rest.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }

  std::wstring result = L"\\\\?\\";
  result += wide[0];
  result += L":\\";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) result += L'\\';
    result += parts[i];
  }
  // A path that named a folder with a trailing separator keeps it (a root always has one).
  if (!parts.empty() && IsSeparator(wide.back())) result += L'\\';
  return result;
}

}  // namespace tidewick::win32
