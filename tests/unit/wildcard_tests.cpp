// MatchLike: the wildcard rules, one table of cases per aspect.
#include "platform/platform_operations.h"

#include <gtest/gtest.h>

#include <string>

namespace tidewick {
namespace {

struct LikeCase {
  const char* text;
  const char* pattern;
  LikeResult expected;
};

void PrintTo(const LikeCase& c, std::ostream* os) {
  *os << '"' << c.text << "\" Like \"" << c.pattern << '"';
}

constexpr LikeResult M = LikeResult::Match;
constexpr LikeResult N = LikeResult::NoMatch;
constexpr LikeResult X = LikeResult::InvalidPattern;

class MatchLikeTable : public ::testing::TestWithParam<LikeCase> {};

TEST_P(MatchLikeTable, AnswersAsExpected) {
  const LikeCase& c = GetParam();
  EXPECT_EQ(MatchLike(c.text, c.pattern), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Literals, MatchLikeTable, ::testing::Values(
    LikeCase{"", "", M},
    LikeCase{"abc", "abc", M},
    LikeCase{"abc", "abd", N},
    LikeCase{"abc", "ab", N},
    LikeCase{"ab", "abc", N},
    LikeCase{"", "a", N},
    LikeCase{"a", "", N},
    // Case-sensitive, by character code.
    LikeCase{"ABC", "abc", N},
    LikeCase{"svchost.exe", "SVCHOST.EXE", N},
    // `]` outside a list, `!` and `-` outside a list are ordinary characters.
    LikeCase{"a]", "a]", M},
    LikeCase{"!-", "!-", M}));

INSTANTIATE_TEST_SUITE_P(QuestionAndHash, MatchLikeTable, ::testing::Values(
    LikeCase{"a", "?", M},
    LikeCase{"", "?", N},
    LikeCase{"ab", "?", N},
    LikeCase{"abc", "a?c", M},
    LikeCase{"a1.exe", "a#.exe", M},
    LikeCase{"a9", "a#", M},
    LikeCase{"a#.exe", "a#.exe", N},  // `#` stands for a digit, not for itself
    LikeCase{"ax", "a#", N},
    LikeCase{"a", "#", N},
    // `?` and `#` take one code point, not one byte.
    LikeCase{"\xE0\xA6\xAC", "?", M},            // Bengali letter ba
    LikeCase{"\xE4\xB8\xAD\xE6\x96\x87", "??", M},  // Chinese, two characters
    LikeCase{"\xE4\xB8\xAD\xE6\x96\x87", "?", N},
    LikeCase{"\xF0\x9F\x98\x80", "?", M},        // emoji outside the basic plane
    LikeCase{"\xD9\xA3", "#", N}));               // Arabic-Indic three is not a 0-9 digit

INSTANTIATE_TEST_SUITE_P(Star, MatchLikeTable, ::testing::Values(
    LikeCase{"", "*", M},
    LikeCase{"anything", "*", M},
    LikeCase{"abc", "a*", M},
    LikeCase{"abc", "*c", M},
    LikeCase{"abc", "a*c", M},
    LikeCase{"ac", "a*c", M},
    LikeCase{"abcd", "a*c", N},
    LikeCase{"c:\\users\\x\\java.exe", "*a.exe*", M},
    LikeCase{"c:\\users\\x\\svchost.exe /q", "*svchost.exe*", M},
    LikeCase{"c:\\users\\x\\svchost.ex", "*svchost.exe*", N},
    LikeCase{"aXbXc", "*b*c", M},
    LikeCase{"ababab", "*ab*ab*ab", M},
    LikeCase{"abab", "*ab*ab*ab", N},
    LikeCase{"mississippi", "m*iss*ppi", M},
    LikeCase{"mississippi", "m*iss*ipi", N},
    LikeCase{"abc", "**a**b**c**", M},
    // Star inside a list is literal.
    LikeCase{"*", "[*]", M},
    LikeCase{"a", "[*]", N}));

INSTANTIATE_TEST_SUITE_P(Lists, MatchLikeTable, ::testing::Values(
    LikeCase{"b", "[abc]", M},
    LikeCase{"d", "[abc]", N},
    LikeCase{"d", "[!abc]", M},
    LikeCase{"a", "[!abc]", N},
    LikeCase{"", "[abc]", N},
    LikeCase{"m", "[a-z]", M},
    LikeCase{"M", "[a-z]", N},
    LikeCase{"5", "[0-9]", M},
    LikeCase{"x", "[a-cx-z]", M},
    LikeCase{"d", "[a-cx-z]", N},
    LikeCase{"-", "[-a]", M},      // `-` first is literal
    LikeCase{"-", "[a-]", M},      // `-` last is literal
    LikeCase{"b", "[a-]", N},
    LikeCase{"!", "[a!]", M},      // `!` not first is literal
    LikeCase{"[", "[[]", M},       // `[` inside a list is literal
    LikeCase{"?", "[?]", M},
    LikeCase{"x", "[?]", N},
    LikeCase{"#", "[#]", M},
    // Ranges and lists by code point.
    LikeCase{"\xE0\xA6\xAC", "[\xE0\xA6\x80-\xE0\xA7\xBF]", M},  // inside the Bengali block
    LikeCase{"z", "[\xE0\xA6\x80-\xE0\xA7\xBF]", N},
    LikeCase{"\xE6\x96\x87", "[!\xE4\xB8\xAD]", M},
    LikeCase{"\xE4\xB8\xAD", "[!\xE4\xB8\xAD]", N},
    // Empty list: matches the empty string and consumes nothing; `[!]` is any one character.
    LikeCase{"", "[]", M},
    LikeCase{"ab", "a[]b", M},
    LikeCase{"a", "[]", N},
    LikeCase{"a", "[!]", M},
    LikeCase{"", "[!]", N}));

INSTANTIATE_TEST_SUITE_P(InvalidPatterns, MatchLikeTable, ::testing::Values(
    LikeCase{"abc", "[abc", X},
    LikeCase{"a", "[", X},
    LikeCase{"", "[!", X},
    // Reported wherever the bracket stands, even when the text fails earlier or matches.
    LikeCase{"zzz", "a*[b", X},
    LikeCase{"x", "y[", X},
    LikeCase{"ab", "ab[", X},
    LikeCase{"a", "[a]*[", X},
    // A descending range is invalid too.
    LikeCase{"b", "[z-a]", X},
    // A closed list followed by a lone `]` is fine.
    LikeCase{"a]", "[a]]", M}));

// Invalid UTF-8 bytes count as characters of their own.
TEST(MatchLike, InvalidUtf8BytesAreSingleCharacters) {
  const std::string lone = "\xFF";
  EXPECT_EQ(MatchLike(lone, "?"), M);
  EXPECT_EQ(MatchLike(lone, lone), M);
  EXPECT_EQ(MatchLike("\xFE", lone), N);
  EXPECT_EQ(MatchLike("a\xE0\xA6", "a??"), M);  // a truncated sequence is two bad bytes
  EXPECT_EQ(MatchLike("\xC0\x80", "?"), N);     // overlong NUL is not one character
}

// A Windows name may hold an unpaired surrogate; in its three-byte form it is one character, as
// it is one unit of the name, and it equals only itself.
TEST(MatchLike, AnUnpairedSurrogateIsOneCharacter) {
  const std::string lead = "\xED\xA0\x80";   // U+D800
  const std::string trail = "\xED\xBF\xBF";  // U+DFFF
  const std::string name = "a" + lead + "z.lnk";
  EXPECT_EQ(MatchLike(name, "a?z.lnk"), M);
  EXPECT_EQ(MatchLike(name, "a???z.lnk"), N);
  EXPECT_EQ(MatchLike(name, "*.lnk"), M);
  EXPECT_EQ(MatchLike(name, name), M);
  EXPECT_EQ(MatchLike("a\xEF\xBF\xBDz.lnk", name), N);  // U+FFFD is another character
  EXPECT_EQ(MatchLike(trail + lead, "??"), M);            // two lone units, not a pair
  EXPECT_EQ(MatchLike(lead, "[!a]"), M);
  EXPECT_EQ(MatchLike(lead, "[" + lead + "]"), M);
  EXPECT_EQ(MatchLike(trail, "[" + lead + "-" + trail + "]"), M);
}

// Many stars against a long text that almost matches: an exponential matcher never ends here.
TEST(MatchLike, ManyStarsOnLongTextStayFast) {
  const std::string text(20000, 'a');
  std::string pattern;
  for (int k = 0; k < 30; ++k) pattern += "*a";
  EXPECT_EQ(MatchLike(text, pattern + "*b"), N);
  EXPECT_EQ(MatchLike(text, pattern + "*"), M);
  EXPECT_EQ(MatchLike(text + "b", pattern + "*b"), M);
}

}  // namespace
}  // namespace tidewick
