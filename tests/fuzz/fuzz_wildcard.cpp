// Wildcard match: never crashes or hangs, and keeps the rules that hold for any text.
#include "platform/platform_operations.h"
#include "tests/fuzz/fuzz_input.h"

#include <string>

using tidewick::LikeResult;
using tidewick::MatchLike;

namespace {
bool HasSpecial(std::string_view pattern) {
  return pattern.find_first_of("?*#[") != std::string_view::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto [text, pattern] = tidewick::fuzz::SplitAtNul(data, size);
  const LikeResult result = MatchLike(text, pattern);

  // A pattern without wildcard characters matches exactly its own text.
  if (!HasSpecial(pattern) && pattern.find(']') == std::string_view::npos) {
    if ((result == LikeResult::Match) != (text == pattern)) tidewick::fuzz::Broken();
  }
  // "*" matches every text; a valid pattern surrounded by stars matches whatever it matched.
  if (MatchLike(text, "*") != LikeResult::Match) tidewick::fuzz::Broken();
  const LikeResult anywhere = MatchLike(text, "*" + std::string(pattern) + "*");
  if ((result == LikeResult::InvalidPattern) != (anywhere == LikeResult::InvalidPattern)) tidewick::fuzz::Broken();
  if (result == LikeResult::Match && anywhere != LikeResult::Match) tidewick::fuzz::Broken();
  // Every text matches itself once its wildcard characters are bracketed.
  std::string literal;
  for (char c : text) {
    if (c == '?' || c == '*' || c == '#' || c == '[') {
      literal += '[';
      literal += c;
      literal += ']';
    } else {
      literal += c;
    }
  }
  if (MatchLike(text, literal) != LikeResult::Match) tidewick::fuzz::Broken();
  return 0;
}
