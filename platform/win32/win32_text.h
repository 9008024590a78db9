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

// The wide path handed to file functions. An absolute drive path ("E:\..." or "E:/...") gets
// the "\\?\" prefix, so that Windows takes every name literally: names with trailing dots or
// spaces, device names such as "con" or "aux.lnk", and paths longer than MAX_PATH. Because the
// prefix also switches off Windows' own clean-up, separators are made backslashes, repeated
// separators are folded and "." and ".." components are resolved here. Anything else (a bare
// name such as "pskill.exe", a relative or UNC path, an already prefixed path) is only
// converted, so it keeps its usual meaning against the current folder.
std::wstring FilePath(std::string_view path);

}  // namespace tidewick::win32
