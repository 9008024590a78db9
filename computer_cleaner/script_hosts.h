// The switch behind "Block Script Worms For This User": Windows Script Host (wscript, cscript)
// turned off for the current user with Enabled = 0 (REG_DWORD) under HKCU
// "Software\Microsoft\Windows Script Host\Settings", and turned on again by putting back what
// that value was before.
//
// What was there before is kept in memory for the run: turning the hosts on again after this
// run turned them off writes back the value as it was (or deletes it when there was none).
// Without a turn-off in this run nothing is known of before, and the value is deleted, which is
// Windows' own default (script hosts on).
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tidewick {

inline constexpr std::string_view kScriptHostSettingsKey = "Software\\Microsoft\\Windows Script Host\\Settings";
inline constexpr std::string_view kScriptHostEnabledValue = "Enabled";

class ScriptHostSwitch {
 public:
  // Whether the script hosts are off for this user: the value is the number 0, or the text "0"
  // (the form Windows Script Host also reads).
  static bool Off(PlatformOperations& os);
  // Writes Enabled = 0 (REG_DWORD), creating the key when needed, and keeps the value as it was
  // before. Answers the status of the write.
  Status TurnOff(PlatformOperations& os);
  // Puts the value back as it was before the turn-off of this run: its type and data, or no
  // value when there was none; deletes it when this run did not turn the hosts off. Answers the
  // status of the write or the deletion (a value already gone is no failure).
  Status TurnOn(PlatformOperations& os);

 private:
  struct Value {
    std::uint32_t type = RegType::None;
    std::vector<std::uint8_t> data;
  };
  // nullopt: no turn-off in this run; a nullopt inside: there was no value.
  std::optional<std::optional<Value>> before_;
};

}  // namespace tidewick
