// Message-box texts that more than one window shows, each written once. Both cleaners ask and
// report a deletion in the same words.
#pragma once

#include <string_view>

namespace tidewick::msg {

// Delete would hand a process to the kill tool, and pskill.exe is not in the current folder.
inline constexpr std::string_view kKillToolMissing = "File 'pskill.exe' not found. Please redownload this program.";
// Delete was pressed with nothing marked.
inline constexpr std::string_view kSelectFileToDelete = "Please select file to delete!";
// The question before a deletion.
inline constexpr std::string_view kConfirmDelete = "Are you sure to delete this file(s)?";
// The summary after a deletion: everything went, or something stayed.
inline constexpr std::string_view kDeleteComplete = "Delete complete!";
inline constexpr std::string_view kDeleteUnsuccessful =
    "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).";

}  // namespace tidewick::msg
