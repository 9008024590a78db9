// Decoding the text of files from a stick into UTF-8. Every function here gives valid UTF-8 for
// any input: what cannot be decoded becomes U+FFFD, never a stray byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tidewick::readers {

inline constexpr char32_t kReplacement = 0xFFFD;

// Appends the UTF-8 form of `code`; a surrogate or a value beyond U+10FFFF appends U+FFFD.
void AppendUtf8(std::string& out, char32_t code);

// UTF-16 little-endian units (2 bytes each; an odd last byte is ignored) to UTF-8. A surrogate
// without its partner becomes U+FFFD. NUL units are converted like any other character.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes);
// The same for big-endian units (autorun.inf with a FE FF mark).
std::string Utf16BeToUtf8(std::span<const std::uint8_t> bytes);

// Bytes of the ANSI code page to UTF-8, read as Windows-1252: ASCII as it is, 0xA0-0xFF as
// Latin-1, 0x80-0x9F as Windows-1252 assigns them (0x80 is the euro sign). The five bytes that
// Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD. A shortcut or
// autorun.inf does not say which code page wrote it; Windows-1252 is the guess, and a path
// written in another code page compares unequal rather than matching a wrong file.
std::string AnsiToUtf8(std::span<const std::uint8_t> bytes);

// Whether `text` is well-formed UTF-8 (no overlong form, no surrogate, nothing beyond U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Decodes the next code point of `text` at `pos` and advances `pos`; a byte that starts no
// well-formed sequence gives U+FFFD and advances by one.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

}  // namespace tidewick::readers
