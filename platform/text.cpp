// LowerCase: case folding of UTF-8 text for the letters Windows folds, in the basic plane.
//
// Which letters fold: Windows compares names case-insensitively by upper-casing each UTF-16
// unit with its own table, so two letters are "the same" for it when their upper-case forms
// are equal. The table below is Unicode's simple case folding (CaseFolding.txt, statuses C and
// S) for code points of the basic plane, keeping only a capital and its small letter that map
// to each other both ways (UnicodeData.txt simple upper and lower case). That drops the
// variant forms Windows does not fold: long s, micro sign, final sigma and the other Greek
// symbol forms, title-case digraphs, the Kelvin, Angstrom and Ohm signs, capital sharp s.
// Checked over the whole basic plane against the upper-case table Wine ships (the same
// classes of equal letters); tests/win32 repeats that check.
//
// The Turkish dotted capital I (U+0130) is left as it is, as is the dotless small i (U+0131):
// simple case folding has no mapping for them outside Turkish rules, and on Windows
// "İ.exe" and "i.exe" are different names (the upper case of "i" is "I", not "İ"). Folding
// U+0130 to "i" would make two different files or processes compare equal.
//
// Made from Debian's unicode-data package (Unicode 15.0) with this script; rerun it and paste
// its output over kFolds when the table is to follow a newer Unicode version:
//
//   U = '/usr/share/unicode/'
//   upper, lower = {}, {}
//   for f in (l.split(';') for l in open(U + 'UnicodeData.txt')):
//       if f[12]: upper[int(f[0], 16)] = int(f[12], 16)
//       if f[13]: lower[int(f[0], 16)] = int(f[13], 16)
//   fold = {}
//   for l in open(U + 'CaseFolding.txt'):
//       f = [x.strip() for x in l.split('#')[0].split(';')]
//       if len(f) > 2 and f[1] in 'CS':
//           c, t = int(f[0], 16), int(f[2], 16)
//           if max(c, t) <= 0xFFFF and c in (upper.get(t), lower.get(t)):
//               fold[c] = t
//   runs, done = [], set()
//   for c in sorted(fold):
//       if c in done:
//           continue
//       d, best = fold[c] - c, (c, 1)
//       for step in (1, 2):
//           j = c
//           while ((j + step) in fold and fold[j + step] - (j + step) == d
//                  and not any(k in fold for k in range(j + 1, j + step))):
//               j += step
//           if (j - c) // step > (best[0] - c) // best[1]:
//               best = (j, step)
//       runs.append((c, best[0], d, best[1] if best[0] > c else 1))
//       done.update(range(c, best[0] + 1, best[1]))
//   cells = ['{0x%04X, 0x%04X, %d, %d},' % r for r in runs]
//   for k in range(0, len(cells), 3):
//       print('    ' + ' '.join(cells[k:k + 3]))
#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tidewick {
namespace {

// Code points first..last, taking every `step`-th one, fold to themselves plus `delta`.
// Runs are sorted and do not overlap.
struct FoldRun {
  std::uint16_t first;
  std::uint16_t last;
  std::int32_t delta;
  std::uint8_t step;
};

constexpr FoldRun kFolds[] = {
    {0x0041, 0x005A, 32, 1}, {0x00C0, 0x00D6, 32, 1}, {0x00D8, 0x00DE, 32, 1},
    {0x0100, 0x012E, 1, 2}, {0x0132, 0x0136, 1, 2}, {0x0139, 0x0147, 1, 2},
    {0x014A, 0x0176, 1, 2}, {0x0178, 0x0178, -121, 1}, {0x0179, 0x017D, 1, 2},
    {0x0181, 0x0181, 210, 1}, {0x0182, 0x0184, 1, 2}, {0x0186, 0x0186, 206, 1},
    {0x0187, 0x0187, 1, 1}, {0x0189, 0x018A, 205, 1}, {0x018B, 0x018B, 1, 1},
    {0x018E, 0x018E, 79, 1}, {0x018F, 0x018F, 202, 1}, {0x0190, 0x0190, 203, 1},
    {0x0191, 0x0191, 1, 1}, {0x0193, 0x0193, 205, 1}, {0x0194, 0x0194, 207, 1},
    {0x0196, 0x0196, 211, 1}, {0x0197, 0x0197, 209, 1}, {0x0198, 0x0198, 1, 1},
    {0x019C, 0x019C, 211, 1}, {0x019D, 0x019D, 213, 1}, {0x019F, 0x019F, 214, 1},
    {0x01A0, 0x01A4, 1, 2}, {0x01A6, 0x01A6, 218, 1}, {0x01A7, 0x01A7, 1, 1},
    {0x01A9, 0x01A9, 218, 1}, {0x01AC, 0x01AC, 1, 1}, {0x01AE, 0x01AE, 218, 1},
    {0x01AF, 0x01AF, 1, 1}, {0x01B1, 0x01B2, 217, 1}, {0x01B3, 0x01B5, 1, 2},
    {0x01B7, 0x01B7, 219, 1}, {0x01B8, 0x01B8, 1, 1}, {0x01BC, 0x01BC, 1, 1},
    {0x01C4, 0x01C4, 2, 1}, {0x01C7, 0x01C7, 2, 1}, {0x01CA, 0x01CA, 2, 1},
    {0x01CD, 0x01DB, 1, 2}, {0x01DE, 0x01EE, 1, 2}, {0x01F1, 0x01F1, 2, 1},
    {0x01F4, 0x01F4, 1, 1}, {0x01F6, 0x01F6, -97, 1}, {0x01F7, 0x01F7, -56, 1},
    {0x01F8, 0x021E, 1, 2}, {0x0220, 0x0220, -130, 1}, {0x0222, 0x0232, 1, 2},
    {0x023A, 0x023A, 10795, 1}, {0x023B, 0x023B, 1, 1}, {0x023D, 0x023D, -163, 1},
    {0x023E, 0x023E, 10792, 1}, {0x0241, 0x0241, 1, 1}, {0x0243, 0x0243, -195, 1},
    {0x0244, 0x0244, 69, 1}, {0x0245, 0x0245, 71, 1}, {0x0246, 0x024E, 1, 2},
    {0x0370, 0x0372, 1, 2}, {0x0376, 0x0376, 1, 1}, {0x037F, 0x037F, 116, 1},
    {0x0386, 0x0386, 38, 1}, {0x0388, 0x038A, 37, 1}, {0x038C, 0x038C, 64, 1},
    {0x038E, 0x038F, 63, 1}, {0x0391, 0x03A1, 32, 1}, {0x03A3, 0x03AB, 32, 1},
    {0x03CF, 0x03CF, 8, 1}, {0x03D8, 0x03EE, 1, 2}, {0x03F7, 0x03F7, 1, 1},
    {0x03F9, 0x03F9, -7, 1}, {0x03FA, 0x03FA, 1, 1}, {0x03FD, 0x03FF, -130, 1},
    {0x0400, 0x040F, 80, 1}, {0x0410, 0x042F, 32, 1}, {0x0460, 0x0480, 1, 2},
    {0x048A, 0x04BE, 1, 2}, {0x04C0, 0x04C0, 15, 1}, {0x04C1, 0x04CD, 1, 2},
    {0x04D0, 0x052E, 1, 2}, {0x0531, 0x0556, 48, 1}, {0x10A0, 0x10C5, 7264, 1},
    {0x10C7, 0x10C7, 7264, 1}, {0x10CD, 0x10CD, 7264, 1}, {0x13F8, 0x13FD, -8, 1},
    {0x1C90, 0x1CBA, -3008, 1}, {0x1CBD, 0x1CBF, -3008, 1}, {0x1E00, 0x1E94, 1, 2},
    {0x1EA0, 0x1EFE, 1, 2}, {0x1F08, 0x1F0F, -8, 1}, {0x1F18, 0x1F1D, -8, 1},
    {0x1F28, 0x1F2F, -8, 1}, {0x1F38, 0x1F3F, -8, 1}, {0x1F48, 0x1F4D, -8, 1},
    {0x1F59, 0x1F5F, -8, 2}, {0x1F68, 0x1F6F, -8, 1}, {0x1F88, 0x1F8F, -8, 1},
    {0x1F98, 0x1F9F, -8, 1}, {0x1FA8, 0x1FAF, -8, 1}, {0x1FB8, 0x1FB9, -8, 1},
    {0x1FBA, 0x1FBB, -74, 1}, {0x1FBC, 0x1FBC, -9, 1}, {0x1FC8, 0x1FCB, -86, 1},
    {0x1FCC, 0x1FCC, -9, 1}, {0x1FD8, 0x1FD9, -8, 1}, {0x1FDA, 0x1FDB, -100, 1},
    {0x1FE8, 0x1FE9, -8, 1}, {0x1FEA, 0x1FEB, -112, 1}, {0x1FEC, 0x1FEC, -7, 1},
    {0x1FF8, 0x1FF9, -128, 1}, {0x1FFA, 0x1FFB, -126, 1}, {0x1FFC, 0x1FFC, -9, 1},
    {0x2132, 0x2132, 28, 1}, {0x2160, 0x216F, 16, 1}, {0x2183, 0x2183, 1, 1},
    {0x24B6, 0x24CF, 26, 1}, {0x2C00, 0x2C2F, 48, 1}, {0x2C60, 0x2C60, 1, 1},
    {0x2C62, 0x2C62, -10743, 1}, {0x2C63, 0x2C63, -3814, 1}, {0x2C64, 0x2C64, -10727, 1},
    {0x2C67, 0x2C6B, 1, 2}, {0x2C6D, 0x2C6D, -10780, 1}, {0x2C6E, 0x2C6E, -10749, 1},
    {0x2C6F, 0x2C6F, -10783, 1}, {0x2C70, 0x2C70, -10782, 1}, {0x2C72, 0x2C72, 1, 1},
    {0x2C75, 0x2C75, 1, 1}, {0x2C7E, 0x2C7F, -10815, 1}, {0x2C80, 0x2CE2, 1, 2},
    {0x2CEB, 0x2CED, 1, 2}, {0x2CF2, 0x2CF2, 1, 1}, {0xA640, 0xA66C, 1, 2},
    {0xA680, 0xA69A, 1, 2}, {0xA722, 0xA72E, 1, 2}, {0xA732, 0xA76E, 1, 2},
    {0xA779, 0xA77B, 1, 2}, {0xA77D, 0xA77D, -35332, 1}, {0xA77E, 0xA786, 1, 2},
    {0xA78B, 0xA78B, 1, 1}, {0xA78D, 0xA78D, -42280, 1}, {0xA790, 0xA792, 1, 2},
    {0xA796, 0xA7A8, 1, 2}, {0xA7AA, 0xA7AA, -42308, 1}, {0xA7AB, 0xA7AB, -42319, 1},
    {0xA7AC, 0xA7AC, -42315, 1}, {0xA7AD, 0xA7AD, -42305, 1}, {0xA7AE, 0xA7AE, -42308, 1},
    {0xA7B0, 0xA7B0, -42258, 1}, {0xA7B1, 0xA7B1, -42282, 1}, {0xA7B2, 0xA7B2, -42261, 1},
    {0xA7B3, 0xA7B3, 928, 1}, {0xA7B4, 0xA7C2, 1, 2}, {0xA7C4, 0xA7C4, -48, 1},
    {0xA7C5, 0xA7C5, -42307, 1}, {0xA7C6, 0xA7C6, -35384, 1}, {0xA7C7, 0xA7C9, 1, 2},
    {0xA7D0, 0xA7D0, 1, 1}, {0xA7D6, 0xA7D8, 1, 2}, {0xA7F5, 0xA7F5, 1, 1},
    {0xAB70, 0xABBF, -38864, 1}, {0xFF21, 0xFF3A, 32, 1},
};

std::uint32_t Fold(std::uint32_t code) {
  if (code > 0xFFFF) return code;
  // The last run starting at or before `code`.
  const auto* run = std::upper_bound(std::begin(kFolds), std::end(kFolds), code,
                                     [](std::uint32_t c, const FoldRun& r) { return c < r.first; });
  if (run == std::begin(kFolds)) return code;
  --run;
  if (code > run->last || (code - run->first) % run->step != 0) return code;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(code) + run->delta);
}

// Decodes one well-formed UTF-8 sequence at the start of `text` (no overlong forms, no
// surrogates, nothing above U+10FFFF). Answers its length, or 0 when the bytes there are not
// such a sequence.
std::size_t DecodeUtf8(std::string_view text, std::uint32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  const auto put = [&](std::uint32_t b) { out.push_back(static_cast<char>(b)); };
  if (code < 0x80) {
    put(code);
  } else if (code < 0x800) {
    put(0xC0 | (code >> 6));
    put(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    put(0xE0 | (code >> 12));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  } else {
    put(0xF0 | (code >> 18));
    put(0x80 | ((code >> 12) & 0x3F));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string LowerCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    std::uint32_t code = 0;
    const std::size_t length = DecodeUtf8(text, code);
    if (length == 0) {
      out.push_back(text.front());  // not UTF-8: kept as it is
      text.remove_prefix(1);
      continue;
    }
    if (length == 1) {
      out.push_back(static_cast<char>(Fold(code)));
    } else {
      AppendUtf8(out, Fold(code));
    }
    text.remove_prefix(length);
  }
  return out;
}

std::string ComparablePath(std::string_view path) {
  std::string plain = LowerCase(path);
  std::replace(plain.begin(), plain.end(), '/', '\\');
  if (plain.rfind("\\\\?\\unc\\", 0) == 0) {
    plain.erase(2, 6);  // "\\?\UNC\server\share" is "\\server\share"
  } else if (plain.rfind("\\\\?\\", 0) == 0) {
    plain.erase(0, 4);
  }
  return plain;
}

}  // namespace tidewick
