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
    {Root::CurrentUser, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 0},
    {Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableTaskMgr", 0},
    {Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableTaskMgr", 0},
    {Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\", "NoFolderOptions", 0},
    {Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\", "NoFolderOptions", 0},
    {Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableRegistryTools", 0},
    {Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableRegistryTools", 0},
    {Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "SuperHidden", 1},
    {Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\", "HideFileExt", 1},
    {Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "Hidden", 0},
    {Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "ShowSuperHidden", 0},
    {Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL",
     "CheckedValue", 1},
};

// EnableCommandPrompt, in order.
inline constexpr RegistryRow kCommandPrompt[] = {
    {Root::CurrentUser, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 0},
    {Root::LocalMachine, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 0},
};

}  // namespace tidewick::expected
