// The text under the readers: decoding (readers/text_decode.cpp), tokens for what cannot be
// seen (readers/visible_text.cpp) and path text (readers/paths.cpp).
#include "readers/paths.h"
#include "readers/text_decode.h"
#include "readers/visible_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidewick::readers {
namespace {

TEST(TextDecode, ReadsWindows1252) {
  const std::vector<std::uint8_t> high = {0x41, 0x80, 0x81, 0x8A, 0x8D, 0x8F, 0x90, 0x99, 0x9D, 0x9F, 0xA0, 0xE9, 0xFF};
  EXPECT_EQ(AnsiToUtf8(high), "A\u20AC\uFFFD\u0160\uFFFD\uFFFD\uFFFD\u2122\uFFFD\u0178\u00A0\u00E9\u00FF");
  EXPECT_EQ(AnsiToUtf8(std::vector<std::uint8_t>{'a', 0, 'b'}), std::string("a\0b", 3));
}

TEST(TextDecode, ReadsUtf16AndReplacesLoneSurrogates) {
  const std::vector<std::uint8_t> units = {0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 0x42, 0x00,
                                           0x00, 0xDC, 0x16, 0x04, 0x7F};
  // A, U+1F600 (a pair), a lone high surrogate, B, a lone low surrogate, U+0416; the odd byte is dropped.
  EXPECT_EQ(Utf16LeToUtf8(units), "A\xF0\x9F\x98\x80\uFFFD" "B\uFFFD\u0416");
  EXPECT_EQ(Utf16BeToUtf8(std::vector<std::uint8_t>{0x04, 0x16, 0xD8, 0x3D, 0xDE, 0x00}), "\u0416\xF0\x9F\x98\x80");
}

TEST(TextDecode, TellsWellFormedUtf8) {
  EXPECT_TRUE(IsValidUtf8("plain \u00E9 \u20AC \xF0\x9F\x98\x80 \uFFFD"));
  for (const char* bad : {"\xFF", "\x80", "a\xC3", "\xC1\x81", "\xE0\x81\x81", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  }
}

struct VisibleCase {
  std::string text;
  std::string visible;
};

const VisibleCase kVisibleCases[] = {
    {"/c start a.vbs&start explorer Docs&exit", "/c start a.vbs&start explorer Docs&exit"},
    {"a  b", "a  b"},
    {"a" + std::string(7, ' ') + "b", "a" + std::string(7, ' ') + "b"},
    {"a" + std::string(8, ' ') + "b", "a\u27E88 spaces\u27E9b"},
    {"a" + std::string(1500, ' ') + "b", "a\u27E81,500 spaces\u27E9b"},
    {"bell\a", "bell\u27E8U+0007\u27E9"},
    {"tab\tand\r\n", "tab\u27E8U+0009\u27E9and\u27E8U+000D\u27E9\u27E8U+000A\u27E9"},
    {std::string(600, '\n'), "\u27E8600 \u00D7 U+000A\u27E9"},
    {"x\u00A0y", "x\u27E8U+00A0\u27E9y"},
    {std::string("x") + std::string(9, ' ') + "\t\u00A0\u200B\u3000y",
     "x\u27E813 blanks: U+0020, U+0009, U+00A0, U+200B, \u2026\u27E9y"},
    {"\u202Eexe.txt", "\u27E8U+202E\u27E9exe.txt"},
    {"soft\u00ADhyphen \u2800 \uFEFF", "soft\u27E8U+00AD\u27E9hyphen \u27E8U+2800\u27E9 \u27E8U+FEFF\u27E9"},
    {"bad \xFF byte", "bad \u27E8U+FFFD\u27E9 byte"},
    {"\x7F\xC2\x85", "\u27E8U+007F\u27E9\u27E8U+0085\u27E9"},
    {"", ""},
};

TEST(VisibleText, MakesBlanksAndControlsVisible) {
  for (const VisibleCase& c : kVisibleCases) {
    const std::string visible = VisibleText(c.text);
    EXPECT_EQ(visible, c.visible) << c.text;
    EXPECT_TRUE(IsValidUtf8(visible)) << c.text;
  }
}

TEST(VisibleText, KnowsEachBlankAndInvisibleCodePoint) {
  const std::vector<char32_t> listed = {0x0020, 0x00A0, 0x1680, 0x2028, 0x2029, 0x202F, 0x205F, 0x2060, 0x3000,
                                        0x3164, 0x115F, 0x1160, 0xFFA0, 0x2800, 0xFEFF, 0x034F, 0x180E};
  for (const char32_t code : listed) EXPECT_TRUE(IsBlankOrInvisible(code)) << std::hex << static_cast<std::uint32_t>(code);
  for (char32_t code = 0x2000; code <= 0x200F; ++code) EXPECT_TRUE(IsBlankOrInvisible(code)) << std::hex << static_cast<std::uint32_t>(code);
  for (const char32_t code : {U'a', U'_', U'\t', char32_t{0x2010}, char32_t{0x1FFF}, char32_t{0x3001}}) {
    EXPECT_FALSE(IsBlankOrInvisible(code)) << std::hex << static_cast<std::uint32_t>(code);
  }
  EXPECT_EQ(CodeToken(0xA0), "\u27E8U+00A0\u27E9");
  EXPECT_EQ(CodeToken(0x1F600), "\u27E8U+1F600\u27E9");
  EXPECT_EQ(HexDigits(0), "0");
  EXPECT_EQ(HexDigits(0x10B), "10B");
  EXPECT_EQ(HexDigits(0x7, 4), "0007");
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1000), "1,000");
  EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
}

TEST(PathText, ComparesAndJoinsPaths) {
  EXPECT_TRUE(SamePath("E:\\My Photos\\", "e:/my photos"));
  EXPECT_TRUE(SamePath("C:\\Windows\\.\\System32\\..\\System32\\CMD.EXE", "c:\\windows\\system32\\cmd.exe"));
  EXPECT_TRUE(SamePath("\\\\Server\\Share", "\\\\server\\share\\"));
  EXPECT_TRUE(SamePath("E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", "e:\\\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE"));
  EXPECT_FALSE(SamePath("E:\\a", "E:\\a b"));
  EXPECT_FALSE(SamePath("E:\\a", "F:\\a"));
  EXPECT_EQ(PathKey("C:\\"), "c:\\");
  EXPECT_EQ(PathKey("C:"), "c:");

  EXPECT_TRUE(IsAbsolutePath("E:\\x"));
  EXPECT_TRUE(IsAbsolutePath("E:/x"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\x"));
  EXPECT_TRUE(IsAbsolutePath("\\\\?\\E:\\x"));
  EXPECT_FALSE(IsAbsolutePath("x.vbs"));
  EXPECT_FALSE(IsAbsolutePath(".\\x.vbs"));
  EXPECT_FALSE(IsAbsolutePath("E:x.vbs"));
  EXPECT_FALSE(IsAbsolutePath("\\x.vbs"));

  EXPECT_EQ(JoinPath("E:\\", "x.vbs"), "E:\\x.vbs");
  EXPECT_EQ(JoinPath("E:\\Docs", ".\\a\\..\\b.txt"), "E:\\Docs\\b.txt");
  EXPECT_EQ(JoinPath("E:\\Docs", "..\\..\\..\\b.txt"), "E:\\b.txt");
  EXPECT_EQ(JoinPath("E:\\Docs", "\\RECYCLER\\x.exe"), "E:\\RECYCLER\\x.exe");
  EXPECT_EQ(JoinPath("E:\\Docs", "C:\\Windows\\.\\cmd.exe"), "C:\\Windows\\cmd.exe");
  EXPECT_EQ(JoinPath("\\\\server\\share\\a", "..\\..\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(JoinPath("\\\\?\\E:\\", "x"), "\\\\?\\E:\\x");
  EXPECT_EQ(FileNameOf("C:\\a\\b.vbs"), "b.vbs");
  EXPECT_EQ(FileNameOf("b.vbs"), "b.vbs");
}

}  // namespace
}  // namespace tidewick::readers
