// Pacing of the stick windows' long commands: how often a command that walks many entries keeps
// the windows painted (the Shortcuts window's reading) or lets the window's events run (a
// restore, which can be cancelled): at the first entry, then whenever kIntervalMs have passed
// or kEntriesPerTurn entries were handled, whichever comes first. The clock is looked at on
// every entry: one GetTickCount is cheap beside the file calls of an entry.
#pragma once

#include "platform/platform_operations.h"

#include <cstddef>
#include <cstdint>

namespace tidewick {

class StickPacer {
 public:
  static constexpr std::uint32_t kIntervalMs = 30;
  static constexpr std::size_t kEntriesPerTurn = 256;

  explicit StickPacer(PlatformOperations& os) : os_(os) {}

  // One more entry: whether it is time for a turn (painting, or the events).
  bool Turn() {
    const std::uint32_t now = os_.GetTickCount();
    const bool due = entries_ == 0 || now - last_ >= kIntervalMs || entries_ - lastEntries_ >= kEntriesPerTurn;
    ++entries_;
    if (due) {
      last_ = now;
      lastEntries_ = entries_;
    }
    return due;
  }

 private:
  PlatformOperations& os_;  // borrowed
  std::uint32_t last_ = 0;
  std::size_t entries_ = 0;
  std::size_t lastEntries_ = 0;
};

}  // namespace tidewick
