// What the Wine tests of module Function arrange and check without the platform under test:
// raw registry calls, scratch folders, child processes and a thread timer. Kept apart from the
// tests so that they see the program's own constants, not the <windows.h> macros of the same
// names.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tidewick::wintest {

// The real platform, as the program makes it.
std::unique_ptr<PlatformOperations> MakeWin32Platform();

// ---- Registry (paths with or without a trailing backslash) ----
bool RawKeyExists(Handle root, std::string_view path);
void RawSetDword(Handle root, std::string_view path, std::string_view name, std::uint32_t value);
void RawDeleteValue(Handle root, std::string_view path, std::string_view name);
// Deletes `path` and then its parents, for as long as the key holds neither values nor sub-keys
// and lies deeper than `keepDepth` levels. Never deletes anything with content.
void RawRemoveEmptyKeys(Handle root, std::string_view path, int keepDepth);

// ---- Files ----
// A fresh empty folder in the temporary folder; answers its absolute path (no trailing '\').
std::string MakeScratchFolder(std::string_view name);
bool MakeFolder(std::string_view path);
// Deletes the folder with everything in it; true when it is gone.
bool RemoveFolder(std::string_view path);
// Copies a file of the build (a Linux path, reached through \\?\unix\, or a Windows path).
bool CopyBuiltFile(std::string_view builtPath, std::string_view destination);
bool SetCurrentFolder(std::string_view path);

// ---- Processes ----
// A program started with CreateProcessW; ended (TerminateProcess) when destroyed if it still
// runs.
class ChildProcess {
 public:
  ChildProcess(std::string_view program, std::string_view arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  std::uint32_t Pid() const { return pid_; }
  // Waits up to `milliseconds` for the process to end; true when it has ended.
  bool WaitEnded(std::uint32_t milliseconds);
  bool Running() { return Started() && !WaitEnded(0); }

 private:
  void* process_ = nullptr;
  std::uint32_t pid_ = 0;
};

// ---- Messages and time ----
// A timer of this thread that fires every `milliseconds`; its messages reach a callback only
// when someone pumps the thread's queue.
class ThreadTimer {
 public:
  explicit ThreadTimer(std::uint32_t milliseconds);
  ~ThreadTimer();
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;
  int Fired() const;

 private:
  std::uintptr_t id_ = 0;
};

// ---- Text and the profile ----
// The upper case Windows gives a UTF-16 unit in name comparisons (RtlUpcaseUnicodeChar).
std::uint32_t WindowsUpperCase(std::uint32_t unit);
// UTF-8 of one code point of the basic plane.
std::string Utf8Of(std::uint32_t code);
// The USERPROFILE variable of the environment.
std::string ProfileFromEnvironment();

std::uint32_t TickCount();
void Pause(std::uint32_t milliseconds);

}  // namespace tidewick::wintest
