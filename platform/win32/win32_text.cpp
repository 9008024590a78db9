#include "platform/platform_operations.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tidewick::win32 {

// WTF-8 both ways: UTF-8 in which an unpaired surrogate stands as its own three-byte sequence
// (ED A0 80 to ED BF BF). File, registry and process names on Windows are sequences of UTF-16
// units that need not be well-formed; carrying a lone surrogate through this way keeps every
// such name reachable, where CP_UTF8 would turn it into U+FFFD and so name another entry.

std::wstring Widen(std::string_view utf8) {
  std::wstring wide;
  wide.reserve(utf8.size());
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(utf8[i]); };
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      wide.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07u, minimum = 0x10000;
    }
    bool valid = length != 0 && i + length <= utf8.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    valid = valid && code >= minimum && code <= 0x10FFFF;
    if (!valid) {
      // Not WTF-8: the byte becomes U+FFFD and the next byte starts afresh.
      wide.push_back(L'\xFFFD');
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      wide.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(code));  // a surrogate too: it stands alone
    }
    i += length;
  }
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  std::string narrow;
  narrow.reserve(utf16.size() * 3);
  const auto put = [&](std::uint32_t b) { narrow.push_back(static_cast<char>(b)); };
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(utf16[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size()) {
      const std::uint32_t next = static_cast<std::uint16_t>(utf16[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
        ++i;
      }
    }
    if (code < 0x80) {
      put(code);
    } else if (code < 0x800) {
      put(0xC0 | (code >> 6));
      put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {  // an unpaired surrogate included
      put(0xE0 | (code >> 12));
      put(0x80 | ((code >> 6) & 0x3F));
      put(0x80 | (code & 0x3F));
    } else {
      put(0xF0 | (code >> 18));
      put(0x80 | ((code >> 12) & 0x3F));
      put(0x80 | ((code >> 6) & 0x3F));
      put(0x80 | (code & 0x3F));
    }
  }
  return narrow;
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsAbsoluteDrivePath(std::wstring_view path) {
  return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

// `root` followed by the names in `rest`, with empty names dropped and "." and ".." resolved
// (never above the root). Only these two exact names are special: "..." or "name." are kept
// as they are. A path that named a folder with a trailing separator keeps it; the root itself
// gets one when `rootSeparator` says so.
std::wstring Resolved(std::wstring root, std::wstring_view rest, bool rootSeparator) {
  std::vector<std::wstring_view> parts;
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
  if (parts.empty()) {
    if (rootSeparator) root += L'\\';
    return root;
  }
  for (const std::wstring_view part : parts) {
    root += L'\\';
    root += part;
  }
  if (IsSeparator(rest.back())) root += L'\\';
  return root;
}

// "\\server\share\rest" as "\\?\UNC\server\share\rest". A path without both a server and a
// share name is left as it is.
std::wstring UncLiteral(const std::wstring& wide) {
  const std::wstring_view path(wide);
  std::size_t serverEnd = 2;
  while (serverEnd < path.size() && !IsSeparator(path[serverEnd])) ++serverEnd;
  std::size_t shareEnd = serverEnd + 1;
  while (shareEnd < path.size() && !IsSeparator(path[shareEnd])) ++shareEnd;
  if (serverEnd == 2 || serverEnd >= path.size() || shareEnd == serverEnd + 1) return wide;
  std::wstring root = L"\\\\?\\UNC\\";
  root += path.substr(2, serverEnd - 2);
  root += L'\\';
  root += path.substr(serverEnd + 1, shareEnd - serverEnd - 1);
  const bool separator = shareEnd < path.size();
  return Resolved(std::move(root), separator ? path.substr(shareEnd + 1) : std::wstring_view(),
                  separator);
}

// The literal form of an absolute path; `wide` is left as it is when it is relative, already
// literal or a device path. `expand` lets a root-relative or drive-relative path be completed
// first (once: what GetFullPathNameW answers is absolute).
std::wstring Literal(const std::wstring& wide, bool expand) {
  const std::size_t size = wide.size();
  if (size >= 2 && IsSeparator(wide[0]) && IsSeparator(wide[1])) {
    // "\\?\..." is literal already and "\\.\..." names a device: both as given.
    if (size >= 3 && (wide[2] == L'?' || wide[2] == L'.') && (size == 3 || IsSeparator(wide[3]))) {
      return wide;
    }
    return UncLiteral(wide);
  }
  if (IsAbsoluteDrivePath(wide)) {
    std::wstring root = L"\\\\?\\";
    root += wide[0];
    root += L':';
    return Resolved(std::move(root), std::wstring_view(wide).substr(3), true);
  }
  if (!expand) return wide;
  if (size >= 2 && IsDriveLetter(wide[0]) && wide[1] == L':') {  // "E:name"
    // The drive's own current folder ("E:\" when it has none).
    const std::wstring folder = FullPathOf(wide.substr(0, 2));
    return folder.empty() ? wide : Literal(folder + L'\\' + wide.substr(2), false);
  }
  if (size >= 1 && IsSeparator(wide[0])) {  // "\name"
    // The current drive's root ("C:\", or "\\server\share\" for a folder on a share).
    const std::wstring root = FullPathOf(L"\\");
    return root.empty() ? wide : Literal(root + wide.substr(1), false);
  }
  return wide;
}

}  // namespace

std::wstring FullPathOf(const std::wstring& path) {
  DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  for (int attempt = 0; size != 0 && attempt < 4; ++attempt) {
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length < size) {
      full.resize(length);
      return full;
    }
    size = length;  // the current folder changed meanwhile: try again with more room
  }
  return {};
}

std::wstring FilePath(std::string_view path) { return Literal(Widen(path), true); }

}  // namespace tidewick::win32
