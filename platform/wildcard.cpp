// Wildcard match in the manner of the classic Like operator.
//
// The pattern is read completely before any text is looked at, so an invalid pattern is
// reported whatever the text is. Both sides are compared by code point (UTF-8 decoded); an
// unpaired surrogate in its three-byte form (WTF-8, as the platform hands over a Windows name
// holding one) is one character, as it is one unit of the name; a byte that is not part of
// such a sequence counts as one character of its own that equals only the same byte.
//
// Pattern syntax:
//   ?        any one character
//   *        any run of characters, also none
//   #        one digit 0-9
//   [list]   one character of the list; a-z inside the list is a range by code point
//   [!list]  one character not in the list
// Inside a list, `!` only negates in the first place, `-` is literal in the first or last
// place, and `*`, `?`, `#` and `[` stand for themselves. Outside a list `]` stands for itself.
//
// Decisions where the classic operator is vague:
//   - `[]` is an empty list and, as in the classic operator, matches the empty string: it
//     consumes no character ("a[]b" matches "ab").
//   - `[!]` is "one character not in the empty list", so any one character.
//   - A `[` without its `]` makes the pattern invalid, and so does a descending range such as
//     `[z-a]`, which the classic operator rejects as well.
//
// Matching uses the greedy star algorithm with a single backtrack point (the last star): a
// failed step resumes after the last star one character further on. That is O(text x pattern)
// at worst, never exponential.
#include "platform/platform_operations.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tidewick {
namespace {

// Characters are code points; an invalid byte b becomes kInvalidByteBase + b, outside Unicode.
constexpr std::uint32_t kInvalidByteBase = 0x110000;

// Decodes the UTF-8 character at `pos` and moves `pos` past it.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<std::uint8_t>(text[pos]);
  auto invalid = [&] {
    ++pos;
    return kInvalidByteBase + lead;
  };
  std::size_t length = 0;
  std::uint32_t code = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07u, minimum = 0x10000;
  } else {
    return invalid();
  }
  if (pos + length > text.size()) return invalid();
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<std::uint8_t>(text[pos + k]);
    if ((next & 0xC0) != 0x80) return invalid();
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF) return invalid();
  pos += length;
  return code;
}

std::vector<std::uint32_t> Decode(std::string_view text) {
  std::vector<std::uint32_t> out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) out.push_back(NextCodePoint(text, pos));
  return out;
}

struct Token {
  enum class Kind { Literal, AnyOne, Digit, Star, List } kind = Kind::Literal;
  std::uint32_t literal = 0;
  bool negated = false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;  // inclusive, for List

  bool Matches(std::uint32_t c) const {
    switch (kind) {
      case Kind::Literal: return c == literal;
      case Kind::AnyOne: return true;
      case Kind::Digit: return c >= '0' && c <= '9';
      case Kind::Star: return false;
      case Kind::List: {
        bool inList = false;
        for (const auto& [low, high] : ranges) {
          if (c >= low && c <= high) {
            inList = true;
            break;
          }
        }
        return inList != negated;
      }
    }
    return false;
  }
};

// Reads the whole pattern; false when it is invalid. Empty lists `[]` produce no token.
bool Parse(const std::vector<std::uint32_t>& pattern, std::vector<Token>& tokens) {
  for (std::size_t p = 0; p < pattern.size(); ++p) {
    const std::uint32_t c = pattern[p];
    Token token;
    if (c == '*') {
      // Consecutive stars are one star.
      if (!tokens.empty() && tokens.back().kind == Token::Kind::Star) continue;
      token.kind = Token::Kind::Star;
    } else if (c == '?') {
      token.kind = Token::Kind::AnyOne;
    } else if (c == '#') {
      token.kind = Token::Kind::Digit;
    } else if (c == '[') {
      std::size_t q = p + 1;
      token.kind = Token::Kind::List;
      if (q < pattern.size() && pattern[q] == '!') {
        token.negated = true;
        ++q;
      }
      const std::size_t listStart = q;
      while (q < pattern.size() && pattern[q] != ']') {
        const std::uint32_t low = pattern[q];
        // A range needs a character on both sides of '-' inside the list.
        if (q + 2 < pattern.size() && pattern[q + 1] == '-' && pattern[q + 2] != ']') {
          const std::uint32_t high = pattern[q + 2];
          if (high < low) return false;
          token.ranges.emplace_back(low, high);
          q += 3;
        } else {
          token.ranges.emplace_back(low, low);
          ++q;
        }
      }
      if (q >= pattern.size()) return false;  // no closing bracket
      p = q;
      if (q == listStart && !token.negated) continue;  // `[]` matches the empty string
    } else {
      token.literal = c;
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

}  // namespace

LikeResult MatchLike(std::string_view text, std::string_view pattern) {
  std::vector<Token> tokens;
  if (!Parse(Decode(pattern), tokens)) return LikeResult::InvalidPattern;
  const std::vector<std::uint32_t> chars = Decode(text);

  std::size_t t = 0;  // position in the text
  std::size_t p = 0;  // position in the tokens
  bool haveStar = false;
  std::size_t starToken = 0;  // token index of the last star seen
  std::size_t starText = 0;   // text position that star currently stops at
  while (t < chars.size()) {
    if (p < tokens.size() && tokens[p].kind == Token::Kind::Star) {
      haveStar = true;
      starToken = p++;
      starText = t;
    } else if (p < tokens.size() && tokens[p].Matches(chars[t])) {
      ++p;
      ++t;
    } else if (haveStar) {
      // Let the last star swallow one more character and retry what follows it.
      p = starToken + 1;
      t = ++starText;
    } else {
      return LikeResult::NoMatch;
    }
  }
  while (p < tokens.size() && tokens[p].kind == Token::Kind::Star) ++p;
  return p == tokens.size() ? LikeResult::Match : LikeResult::NoMatch;
}

}  // namespace tidewick
