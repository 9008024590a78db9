#include "drive_cleaner/scanned_medium.h"

namespace tidewick {

bool DeviceAnswers(PlatformOperations& os, const std::string& root) {
  DiskFreeSpace counts;
  return os.GetDiskFreeSpaceA(root, counts) && os.PathFileExistsA(root);
}

std::optional<std::uint32_t> VolumeSerialAt(PlatformOperations& os, const std::string& root) {
  std::uint32_t serial = 0;
  if (!os.GetVolumeInformationA(root, serial)) return std::nullopt;
  return serial;
}

MediumState CheckMedium(PlatformOperations& os, const ScannedMedium& medium) {
  const std::optional<std::uint32_t> serial = VolumeSerialAt(os, medium.root);
  if (serial && serial == medium.serial) return MediumState::Same;
  const bool answers = DeviceAnswers(os, medium.root);
  if (!serial && !medium.serial) return answers ? MediumState::Same : MediumState::Gone;
  return answers ? MediumState::Another : MediumState::Gone;
}

std::string DeviceNotAnsweringText(const std::string& root) {
  return "The device " + root + " does not answer: it has been removed or is not ready. Nothing has been changed.";
}

std::string AnotherDeviceText(const std::string& root) {
  return "The device in " + root + " is not the one that was scanned. Nothing has been changed. Scan it first.";
}

bool ScannedMediumThere(PlatformOperations& os, const ScannedMedium& medium) {
  switch (CheckMedium(os, medium)) {
    case MediumState::Same:
      return true;
    case MediumState::Gone:
      os.MsgBox(DeviceNotAnsweringText(medium.root), MsgStyle::Warning);
      return false;
    case MediumState::Another:
      os.MsgBox(AnotherDeviceText(medium.root), MsgStyle::Warning);
      return false;
  }
  return false;
}

std::string DeletionStoppedText(const std::string& root, MediumState why) {
  if (why == MediumState::Another) {
    return "The device in " + root +
           " was changed for another one during the deletion. The deletion has stopped; scan the device to see what "
           "is on it.";
  }
  return "The device " + root +
         " stopped answering during the deletion. The deletion has stopped; scan the device again when it is back to "
         "see what is left.";
}

}  // namespace tidewick
