// The medium a window's lists were read from, and the check that it is still the one in its
// drive: the lists belong to the scanned medium, not only to its letter. Nothing is touched on
// another medium put in under the same letter, nor on a drive that no longer answers.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tidewick {

struct ScannedMedium {
  std::string root;                     // "E:\"
  std::optional<std::uint32_t> serial;  // its volume serial number at the scan, when it had one
};

enum class MediumState {
  Same,     // the scanned medium answers in its drive
  Gone,     // the drive holds no readable medium
  Another,  // another medium is in the drive
};

// Whether `root` holds a readable medium.
bool DeviceAnswers(PlatformOperations& os, const std::string& root);
// The volume serial number of the medium in `root`, when it answers one.
std::optional<std::uint32_t> VolumeSerialAt(PlatformOperations& os, const std::string& root);
// Where no serial number could be read at the scan, a medium that answers none now counts as
// the same (there is nothing to tell them apart by).
MediumState CheckMedium(PlatformOperations& os, const ScannedMedium& medium);

// The warnings when a command refuses to act: the device does not answer, or another medium
// is in it.
std::string DeviceNotAnsweringText(const std::string& root);
std::string AnotherDeviceText(const std::string& root);
// Whether the scanned medium is in its drive, as CheckMedium; when not, shows the warning that
// nothing has been changed (DeviceNotAnsweringText or AnotherDeviceText).
bool ScannedMediumThere(PlatformOperations& os, const ScannedMedium& medium);

// The warnings when a deletion stops part-way because the device went away (MediumState::Gone)
// or another medium took its place (MediumState::Another).
std::string DeletionStoppedText(const std::string& root, MediumState why);

}  // namespace tidewick
