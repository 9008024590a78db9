// VisibleText: tokens for blanks, invisible and control characters.
#include "readers/visible_text.h"

#include "readers/text_decode.h"

#include <vector>

namespace tidewick::readers {
namespace {

bool IsMadeVisible(char32_t code) {
  return IsBlankOrInvisible(code) || IsControl(code) || IsHiddenFormat(code);
}

constexpr std::string_view kOpen = "\u27E8";   // ⟨
constexpr std::string_view kClose = "\u27E9";  // ⟩

std::string RunToken(const std::vector<char32_t>& run) {
  std::vector<char32_t> kinds;
  for (const char32_t code : run) {
    bool known = false;
    for (const char32_t kind : kinds) known = known || kind == code;
    if (!known) kinds.push_back(code);
  }
  std::string token(kOpen);
  token += GroupedNumber(run.size());
  if (kinds.size() == 1 && kinds[0] == U' ') {
    token += " spaces";
  } else if (kinds.size() == 1) {
    token += " \u00D7 U+";
    token += HexDigits(kinds[0], 4);
  } else {
    token += " blanks: ";
    for (std::size_t i = 0; i < kinds.size() && i < 4; ++i) {
      if (i > 0) token += ", ";
      token += "U+";
      token += HexDigits(kinds[i], 4);
    }
    if (kinds.size() > 4) token += ", \u2026";
  }
  token += kClose;
  return token;
}

}  // namespace

bool IsBlankOrInvisible(char32_t code) {
  return code == 0x0020 || code == 0x00A0 || code == 0x1680 || (code >= 0x2000 && code <= 0x200F) ||
         code == 0x2028 || code == 0x2029 || code == 0x202F || code == 0x205F || code == 0x2060 ||
         code == 0x3000 || code == 0x3164 || code == 0x115F || code == 0x1160 || code == 0xFFA0 ||
         code == 0x2800 || code == 0xFEFF || code == 0x034F || code == 0x180E;
}

bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

bool IsHiddenFormat(char32_t code) {
  return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) || code == 0x00AD ||
         code == kReplacement;
}

std::string CodeToken(char32_t code) {
  std::string token(kOpen);
  token += "U+";
  token += HexDigits(code, 4);
  token += kClose;
  return token;
}

std::string HexDigits(std::uint64_t value, std::size_t minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  do {
    hex.insert(hex.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (hex.size() < minDigits) hex.insert(0, minDigits - hex.size(), '0');
  return hex;
}

std::string GroupedNumber(std::size_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::vector<char32_t> run;
  const auto flush = [&] {
    if (run.size() >= kLongBlankRun) {
      out += RunToken(run);
    } else {
      for (const char32_t code : run) {
        if (code == U' ') {
          out += ' ';
        } else {
          out += CodeToken(code);
        }
      }
    }
    run.clear();
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t code = NextCodePoint(text, pos);
    if (IsMadeVisible(code)) {
      run.push_back(code);
      continue;
    }
    flush();
    AppendUtf8(out, code);
  }
  flush();
  return out;
}

}  // namespace tidewick::readers
