// UTF-16, Windows-1252 and UTF-8 decoding for the readers.
#include "readers/text_decode.h"

namespace tidewick::readers {
namespace {

// Windows-1252 code points of the bytes 0x80 to 0x9F (0 where the code page assigns none).
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

bool IsSurrogate(char32_t code) { return code >= 0xD800 && code <= 0xDFFF; }

template <bool kBigEndian>
std::string Utf16ToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  auto unitAt = [&](std::size_t i) -> char32_t {
    const std::uint8_t a = bytes[2 * i];
    const std::uint8_t b = bytes[2 * i + 1];
    return kBigEndian ? static_cast<char32_t>((a << 8) | b) : static_cast<char32_t>((b << 8) | a);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, IsSurrogate(unit) ? kReplacement : unit);
  }
  return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t code) {
  if (IsSurrogate(code) || code > 0x10FFFF) code = kReplacement;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes) { return Utf16ToUtf8<false>(bytes); }
std::string Utf16BeToUtf8(std::span<const std::uint8_t> bytes) { return Utf16ToUtf8<true>(bytes); }

std::string AnsiToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const std::uint8_t byte : bytes) {
    if (byte >= 0x80 && byte < 0xA0) {
      const char16_t code = kWindows1252High[byte - 0x80];
      AppendUtf8(out, code == 0 ? kReplacement : code);
    } else {
      AppendUtf8(out, byte);
    }
  }
  return out;
}

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byteAt(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t code = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t next = byteAt(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    code = (code << 6) | (next & 0x3F);
  }
  if (code < least || code > 0x10FFFF || IsSurrogate(code)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return code;
}

bool IsValidUtf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t code = NextCodePoint(text, pos);
    // A real U+FFFD is three bytes long; a replacement for a bad byte advances by one.
    if (code == kReplacement && pos - start != 3) return false;
  }
  return true;
}

}  // namespace tidewick::readers
