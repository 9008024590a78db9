// Splits a fuzzer input into two texts at its first NUL byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tidewick::fuzz {

inline std::pair<std::string_view, std::string_view> SplitAtNul(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = all.find('\0');
  if (nul == std::string_view::npos) return {all, {}};
  return {all.substr(0, nul), all.substr(nul + 1)};
}

// Reports a broken invariant in a way libFuzzer records as a crash with its input.
[[noreturn]] inline void Broken() { __builtin_trap(); }

}  // namespace tidewick::fuzz
