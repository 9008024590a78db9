// The registry keys the program reads and writes, each written once.
//
// The paths are passed to the registry exactly as they stand here, trailing backslash and
// letter case included ("SOFTWARE" and "Software" both occur); the registry itself ignores
// both. The keys read at load name the same keys without their trailing backslash.
#pragma once

#include <string_view>

namespace tidewick::regpath {

// The command-prompt policy (DisableCMD), under either root.
inline constexpr std::string_view kCommandPromptPolicy = "Software\\Policies\\Microsoft\\Windows\\System\\";
// The system policies (DisableTaskMgr, DisableRegistryTools): the current user's, and the
// machine's as the program writes it.
inline constexpr std::string_view kSystemPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\";
inline constexpr std::string_view kMachineSystemPolicies =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\";
// The Explorer policies (NoFolderOptions), under either root.
inline constexpr std::string_view kExplorerPolicies =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\";
// Explorer's advanced settings (SuperHidden, Hidden, ShowSuperHidden, HideFileExt).
inline constexpr std::string_view kAdvanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\";
// The machine's folder settings of Explorer (HideFileExt), as the policy repair writes it.
inline constexpr std::string_view kMachineAdvancedFolder =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\";
// The "show all" switch of hidden files (CheckedValue), under the machine root.
inline constexpr std::string_view kShowAll =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
// The current user's autostart values.
inline constexpr std::string_view kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// `key` without its trailing backslash, as the keys read at load are named.
constexpr std::string_view WithoutTrailingBackslash(std::string_view key) {
  return !key.empty() && key.back() == '\\' ? key.substr(0, key.size() - 1) : key;
}

}  // namespace tidewick::regpath
