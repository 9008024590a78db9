// What the policy repair and the command-prompt repair must write, row by row, written out
// here by hand so the tests do not check the program against its own table.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>

namespace tidewick::expected {

struct RegistryRow {
  Handle root;
  const char* subKey;  // exact text: trailing backslash and letter case as written
  const char* valueName;
  std::int32_t data;
};

// FixRegistry, in order.
inline constexpr RegistryRow kRepair[] = {
    {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableTaskMgr", 0},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableTaskMgr", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\", "NoFolderOptions", 0},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\", "NoFolderOptions", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableRegistryTools", 0},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableRegistryTools", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "SuperHidden", 1},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\", "HideFileExt", 1},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "Hidden", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "ShowSuperHidden", 0},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL",
     "CheckedValue", 1},
};

// EnableCommandPrompt, in order.
inline constexpr RegistryRow kCommandPrompt[] = {
    {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 0},
    {HKEY_LOCAL_MACHINE, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 0},
};

}  // namespace tidewick::expected
