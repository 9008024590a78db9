// Text at the Win32 boundary: the one UTF-8 <-> UTF-16 conversion pair, and the form in which
// paths reach the file functions.
#pragma once

#include <string>
#include <string_view>

namespace tidewick::win32 {

// WTF-8 to UTF-16 and back, losing nothing of what Windows hands over: an unpaired surrogate,
// which a file, registry or process name may hold, becomes its three-byte sequence (U+D800 is
// ED A0 80) and that sequence becomes the lone unit again, so every name listed can be reached.
// Well-formed text is plain UTF-8. Embedded NULs are converted like any other character. A
// byte that starts no sequence (not UTF-8, overlong, beyond U+10FFFF, cut short) becomes
// U+FFFD; two surrogate sequences in a row become two units, paired or not.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The wide path handed to file functions. Every absolute path gets the literal form, so that
// Windows takes every name as it is: names with trailing dots or spaces, device names such as
// "con" or "aux.lnk", and paths longer than MAX_PATH.
// - "E:\..." or "E:/..." becomes "\\?\E:\...".
// - "\\server\share\..." becomes "\\?\UNC\server\share\...".
// - A root-relative "\name" is first completed with the current drive's root, and a
//   drive-relative "E:name" with that drive's own current folder (GetFullPathNameW, given only
//   the bare "\" or "E:", never a name, so it strips and maps nothing).
// Because the prefix also switches off Windows' own clean-up, separators are made backslashes,
// repeated separators are folded and "." and ".." components are resolved here (never above the
// drive root or the share). Anything else (a bare name such as "pskill.exe", a relative path, an
// already literal "\\?\" or a device "\\.\" path) is only converted, so it keeps its usual
// meaning against the current folder.
std::wstring FilePath(std::string_view path);

// What GetFullPathNameW makes of `path` against the current folder; empty on failure. Windows'
// clean-up applies (a trailing dot or space is stripped, "con" names a device), so it is given
// only a bare prefix ("\", "E:") or a name chosen by the program ("pskill.exe"), never a name
// read from a disk or the registry.
std::wstring FullPathOf(const std::wstring& path);

}  // namespace tidewick::win32
