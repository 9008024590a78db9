// The switch behind "Block Script Worms For This User".
#include "computer_cleaner/script_hosts.h"

#include "platform/registry.h"

#include <string>
#include <variant>

namespace tidewick {

bool ScriptHostSwitch::Off(PlatformOperations& os) {
  const KeyResult settings = OpenKeyEx(os, Root::CurrentUser, kScriptHostSettingsKey, KeyAccess::Read);
  const std::optional<RegData> value = ReadValue(settings.key, kScriptHostEnabledValue);
  if (!value) return false;
  if (const std::uint32_t* number = std::get_if<std::uint32_t>(&*value)) return *number == 0;
  return std::get<std::string>(*value) == "0";
}

Status ScriptHostSwitch::TurnOff(PlatformOperations& os) {
  KeyResult settings = CreateKey(os, Root::CurrentUser, kScriptHostSettingsKey);
  if (!settings.key) return settings.status != StatusCode::Success ? settings.status : StatusCode::InvalidHandle;
  // The value as it is: its type and size first, then its data.
  std::optional<Value> before;
  std::uint32_t type = RegType::None;
  std::uint32_t size = 0;
  if (os.RegQueryValueExA(settings.key.Get(), kScriptHostEnabledValue, &type, nullptr, &size) == StatusCode::Success) {
    Value value{type, std::vector<std::uint8_t>(size)};
    if (os.RegQueryValueExA(settings.key.Get(), kScriptHostEnabledValue, &type, value.data.data(), &size) ==
        StatusCode::Success) {
      value.data.resize(size);
      value.type = type;
      before = std::move(value);
    }
  }
  const std::uint32_t off = 0;
  const Status status = os.RegSetValueExA(settings.key.Get(), kScriptHostEnabledValue, 0, RegType::Dword, &off, sizeof off);
  // A second turn-off keeps what was there before the first.
  if (status == StatusCode::Success && !before_) before_ = std::move(before);
  return status;
}

Status ScriptHostSwitch::TurnOn(PlatformOperations& os) {
  const KeyResult settings = OpenKeyEx(os, Root::CurrentUser, kScriptHostSettingsKey, KeyAccess::Open);
  if (!settings.key) return settings.status == StatusCode::FileNotFound ? StatusCode::Success : settings.status;
  Status status = StatusCode::Success;
  if (before_ && *before_) {
    const Value& value = **before_;
    status = os.RegSetValueExA(settings.key.Get(), kScriptHostEnabledValue, 0, value.type, value.data.data(),
                               static_cast<std::uint32_t>(value.data.size()));
  } else {
    status = os.RegDeleteValueA(settings.key.Get(), kScriptHostEnabledValue);
    if (status == StatusCode::FileNotFound) status = StatusCode::Success;
  }
  if (status == StatusCode::Success) before_.reset();
  return status;
}

}  // namespace tidewick
