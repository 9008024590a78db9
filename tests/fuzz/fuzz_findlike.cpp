// FindLike: never crashes, and its answer agrees with the wildcard match it is built on.
#include "platform/Function.h"
#include "platform/simulated/simulated_platform.h"
#include "tests/fuzz/fuzz_input.h"

#include <string>

using tidewick::LikeResult;
using tidewick::MatchLike;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tidewick::sim::SimulatedPlatform os;
  static tidewick::Function function(os);
  const auto [text, pattern] = tidewick::fuzz::SplitAtNul(data, size);

  const auto position = function.FindLike(text, pattern, 1);
  const LikeResult anywhere = MatchLike(text, "*" + std::string(pattern) + "*");
  if (!position.has_value()) {
    if (anywhere != LikeResult::InvalidPattern) tidewick::fuzz::Broken();
    return 0;
  }
  if (anywhere == LikeResult::InvalidPattern) tidewick::fuzz::Broken();
  // Found exactly when the pattern occurs somewhere; an empty text has no place to find it at.
  const bool occurs = anywhere == LikeResult::Match && !text.empty();
  if ((*position > 0) != occurs) tidewick::fuzz::Broken();
  if (*position < 0) tidewick::fuzz::Broken();
  // Searching from the place found finds the pattern at its very start.
  if (*position > 0) {
    const auto again = function.FindLike(text, pattern, *position);
    if (!again.has_value() || *again != 1) tidewick::fuzz::Broken();
  }
  return 0;
}
