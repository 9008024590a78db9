// LowerCase: case folding of UTF-8 names beyond A to Z, bytes that are not UTF-8 kept.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tidewick {
namespace {

struct FoldCase {
  const char* what;
  std::string_view text;
  std::string_view lowered;
};

constexpr FoldCase kFoldCases[] = {
    {"ASCII", "ABC.EXE Setup_X", "abc.exe setup_x"},
    {"non-letters unchanged",
     "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"},
    {"already lower case", "abc.exe ёжик σοφία", "abc.exe ёжик σοφία"},
    {"Latin-1 letters", "ÀÉÎÕÜÝÞ", "àéîõüýþ"},
    {"Latin-1 signs and sharp s unchanged", "×÷ß¿©µ", "×÷ß¿©µ"},
    {"Latin Extended-A", "ĀĞŁŒŹŸ", "āğłœźÿ"},
    {"Greek", "ΑΒΓΔΩ ΆΈΏ", "αβγδω άέώ"},
    {"Greek, final sigma kept as Windows keeps it", "ΟΔΟΣ οδος", "οδοσ οδος"},
    {"Cyrillic", "ПРИВЕТ ЁЖЇЄЎЂ", "привет ёжїєўђ"},
    {"Armenian", "ԱԲԳ", "աբգ"},
    {"Georgian Asomtavruli", "ႠႡ", "ⴀⴁ"},
    {"full-width letters", "ＡＢＣ．ＥＸＥ", "ａｂｃ．ｅｘｅ"},
    {"full-width digits unchanged", "１２３", "１２３"},
    {"two bytes become three", "Ⱥ", "ⱥ"},
    {"Turkish dotted capital I kept", "İ", "İ"},
    {"Turkish dotless small i kept", "ı", "ı"},
    {"variant forms Windows does not fold kept", "\u212A \u017F \u01C5 \u1E9E", "\u212A \u017F \u01C5 \u1E9E"},
    {"Greek with ypogegrammeni and Georgian Mtavruli", "\u1F88 \u1C90", "\u1F80 \u10D0"},
    {"Cherokee small letters fold to the capitals", "\uAB70\u13F8", "\u13A0\u13F0"},
    {"CJK, Bengali and emoji unchanged", "中文 বাংলা 😀", "中文 বাংলা 😀"},
    {"mixed scripts", "Ivan_ИВАН_Ιωάννης.EXE", "ivan_иван_ιωάννης.exe"},
    {"empty", "", ""},
    {"embedded NUL", std::string_view("A\0B", 3), std::string_view("a\0b", 3)},
    {"stray byte FF kept", "A\xFFZ", "a\xFFz"},
    {"lone continuation byte kept", "\x80Q", "\x80q"},
    {"truncated sequence at the end kept", "A\xC3", "a\xC3"},
    {"lead byte without continuation kept, next letter folded", "\xC3" "A", "\xC3" "a"},
    {"overlong A stays as it is", "\xC1\x81", "\xC1\x81"},
    {"overlong three-byte form kept", "\xE0\x81\x81", "\xE0\x81\x81"},
    {"encoded surrogate kept", "\xED\xA0\x80", "\xED\xA0\x80"},
    {"beyond U+10FFFF kept", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},
    {"invalid bytes inside Cyrillic", "Ж\xFEЖ", "ж\xFEж"},
};

TEST(LowerCase, FoldsTheTable) {
  for (const FoldCase& c : kFoldCases) {
    EXPECT_EQ(LowerCase(c.text), c.lowered) << c.what;
  }
}

std::string Utf8(std::uint32_t code) {
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

// Decodes `text` if it is exactly one well-formed UTF-8 character of the basic plane.
bool DecodeOne(const std::string& text, std::uint32_t& code) {
  const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  if (text.size() == 1 && b(0) < 0x80) {
    code = b(0);
    return true;
  }
  if (text.size() == 2 && b(0) >= 0xC2 && b(0) <= 0xDF && (b(1) & 0xC0) == 0x80) {
    code = ((b(0) & 0x1Fu) << 6) | (b(1) & 0x3Fu);
    return true;
  }
  if (text.size() == 3 && (b(0) & 0xF0) == 0xE0 && (b(1) & 0xC0) == 0x80 &&
      (b(2) & 0xC0) == 0x80) {
    code = ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
    return code >= 0x800 && (code < 0xD800 || code > 0xDFFF);
  }
  return false;
}

// Over the whole basic plane: every character folds to one well-formed character, folding is
// idempotent (what LowerCase gives back is already folded), ASCII folds only A to Z, and
// whatever folds to an ASCII letter is that letter's capital.
TEST(LowerCase, EveryCharacterOfTheBasicPlaneFoldsToOneFoldedCharacter) {
  int folded = 0;
  for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    const std::string one = Utf8(code);
    const std::string lowered = LowerCase(one);
    std::uint32_t target = 0;
    ASSERT_TRUE(DecodeOne(lowered, target)) << std::hex << "U+" << code;
    EXPECT_EQ(LowerCase(lowered), lowered) << std::hex << "U+" << code << " -> U+" << target;
    if (code < 0x80) {
      const bool capital = code >= 'A' && code <= 'Z';
      EXPECT_EQ(target, capital ? code + 32 : code) << std::hex << "U+" << code;
    } else if (target < 0x80) {
      ADD_FAILURE() << std::hex << "U+" << code << " folds into ASCII U+" << target;
    }
    if (target != code) ++folded;
  }
  // More than the Latin, Greek and Cyrillic capitals alone: the other scripts fold too.
  EXPECT_GT(folded, 1000);
}

TEST(TextHelpers, ComparablePathDropsTheLongFormPrefixAndLetterCase) {
  const std::string plain = ComparablePath("C:\\Users\\Ann\\a.exe");
  EXPECT_EQ(plain, "c:\\users\\ann\\a.exe");
  for (const char* same : {"c:\\USERS\\ann\\A.EXE", "\\\\?\\C:\\Users\\Ann\\a.exe", "\\\\?\\c:\\users\\ann\\A.exe",
                           "C:/Users/Ann/a.exe"}) {
    EXPECT_EQ(ComparablePath(same), plain) << same;
  }
  EXPECT_EQ(ComparablePath("\\\\?\\UNC\\server\\Share\\a.exe"), "\\\\server\\share\\a.exe");
  EXPECT_EQ(ComparablePath("\\\\?\\unc\\server\\share\\a.exe"), ComparablePath("\\\\SERVER\\share\\A.exe"));
  EXPECT_EQ(ComparablePath("C:\\Аня\\ПРОГРАММА.exe"), ComparablePath("c:\\аня\\программа.EXE"));
  // Other places stay other places.
  EXPECT_NE(ComparablePath("C:\\Users\\Ann\\sub\\a.exe"), plain);
  EXPECT_NE(ComparablePath("D:\\Users\\Ann\\a.exe"), plain);
  EXPECT_NE(ComparablePath("\\\\?\\C:\\Users\\Ann\\a.exe."), plain);
  EXPECT_EQ(ComparablePath(""), "");
}

TEST(TextHelpers, ContainsAndEndsWithCompareBytes) {
  EXPECT_TRUE(Contains("setup.exe.lnk", ".exe"));
  EXPECT_FALSE(Contains("setup.ex", ".exe"));
  EXPECT_TRUE(EndsWith("photo.jpg.exe", ".exe"));
  EXPECT_FALSE(EndsWith("exe", ".exe"));
  EXPECT_TRUE(EndsWith("anything", ""));
}

}  // namespace
}  // namespace tidewick
