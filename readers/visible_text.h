// Text from a stick made fit to show: blanks, invisible characters and control characters that
// could hide a part of a command become tokens a user can see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tidewick::readers {

// A run of at least this many blank, invisible or control characters is shown as one token
// that gives its length ("⟨1,500 spaces⟩"). Eight spaces in a row do not occur in a command a
// user writes, and no list shows more than a few of them.
inline constexpr std::size_t kLongBlankRun = 8;

// The blanks and invisible code points that a name may consist of while looking empty:
// U+0020, U+00A0, U+1680, U+2000-U+200F, U+2028, U+2029, U+202F, U+205F, U+2060, U+3000,
// U+3164, U+115F, U+1160, U+FFA0, U+2800, U+FEFF, U+034F, U+180E.
bool IsBlankOrInvisible(char32_t code);

// Control characters: U+0000-U+001F, U+007F-U+009F.
bool IsControl(char32_t code);

// Characters that change how text around them is shown without being seen themselves: the
// bidirectional embeddings, overrides and isolates (U+202A-U+202E, U+2066-U+2069), the
// soft hyphen U+00AD and the replacement character U+FFFD that stands for undecodable input.
bool IsHiddenFormat(char32_t code);

// `text` (UTF-8; bytes that are not UTF-8 count as U+FFFD) with:
//  - each maximal run of kLongBlankRun or more characters that are blank, invisible, control
//    or hidden-format replaced by one token: "⟨1,500 spaces⟩" when all are U+0020,
//    "⟨600 × U+000A⟩" when all are one other character, else
//    "⟨1,500 blanks: U+0020, U+0009, U+000A⟩" naming the first four kinds met ("…" when more);
//  - in shorter runs, each character other than U+0020 as "⟨U+0007⟩";
//  - everything else as it is.
// The result is valid UTF-8 and holds no control character.
std::string VisibleText(std::string_view text);

// The token for one code point: "⟨U+00A0⟩", with at least four hex digits.
std::string CodeToken(char32_t code);

// Upper-case hex digits of `value`, at least `minDigits` of them: (0xA0, 4) -> "00A0".
std::string HexDigits(std::uint64_t value, std::size_t minDigits = 1);

// A count with a comma between thousands: 1500 -> "1,500".
std::string GroupedNumber(std::size_t number);

}  // namespace tidewick::readers
