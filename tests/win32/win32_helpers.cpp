#include "tests/win32/win32_helpers.h"

#include <windows.h>

#include "platform/win32/win32_platform.h"
#include "tests/support/win32_files.h"
#include "tests/support/win32_text_for_tests.h"

#include <algorithm>
#include <atomic>

namespace tidewick::wintest {
namespace {

using testsupport::Wide;

std::string Narrow(std::wstring_view text) { return testsupport::Utf8(text); }

HKEY RootKey(Handle root) {
  return root == 0x80000002u ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring KeyPath(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return Wide(path);
}

std::atomic<int> timerFired{0};

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++timerFired; }

}  // namespace

std::unique_ptr<PlatformOperations> MakeWin32Platform() {
  return std::make_unique<win32::Win32Platform>();
}

bool RawKeyExists(Handle root, std::string_view path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(RootKey(root), KeyPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

void RawSetDword(Handle root, std::string_view path, std::string_view name, std::uint32_t value) {
  const DWORD data = value;
  ::RegSetKeyValueW(RootKey(root), KeyPath(path).c_str(), Wide(name).c_str(), REG_DWORD, &data,
                    sizeof data);
}

void RawDeleteValue(Handle root, std::string_view path, std::string_view name) {
  ::RegDeleteKeyValueW(RootKey(root), KeyPath(path).c_str(), Wide(name).c_str());
}

void RawRemoveEmptyKeys(Handle root, std::string_view path, int keepDepth) {
  std::wstring key = KeyPath(path);
  while (std::count(key.begin(), key.end(), L'\\') + 1 > keepDepth) {
    HKEY open = nullptr;
    if (::RegOpenKeyExW(RootKey(root), key.c_str(), 0, KEY_READ, &open) == ERROR_SUCCESS) {
      DWORD subKeys = 0;
      DWORD values = 0;
      const LONG info = ::RegQueryInfoKeyW(open, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                           nullptr, &values, nullptr, nullptr, nullptr, nullptr);
      ::RegCloseKey(open);
      if (info != ERROR_SUCCESS || subKeys != 0 || values != 0) return;
      if (::RegDeleteKeyW(RootKey(root), key.c_str()) != ERROR_SUCCESS) return;
    }
    key.resize(key.rfind(L'\\'));
  }
}

std::string MakeScratchFolder(std::string_view name) {
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + Wide(name);
  RemoveFolder(Narrow(folder));
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return Narrow(folder);
}

bool MakeFolder(std::string_view path) {
  return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
}

bool RemoveFolder(std::string_view path) { return testsupport::RemoveTree(Wide(path)); }

bool CopyBuiltFile(std::string_view builtPath, std::string_view destination) {
  std::wstring source = Wide(builtPath);
  if (!source.empty() && source.front() == L'/') {
    std::replace(source.begin(), source.end(), L'/', L'\\');
    source = L"\\\\?\\unix" + source;
  }
  return ::CopyFileW(source.c_str(), Wide(destination).c_str(), FALSE) != 0;
}

bool SetCurrentFolder(std::string_view path) {
  return ::SetCurrentDirectoryW(Wide(path).c_str()) != 0;
}

ChildProcess::ChildProcess(std::string_view program, std::string_view arguments) {
  const std::wstring application = Wide(program);
  std::wstring commandLine = L"\"" + application + L"\" " + Wide(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
    ::CloseHandle(started.hThread);
    process_ = started.hProcess;
    pid_ = started.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (process_ == nullptr) return;
  if (!WaitEnded(0)) {
    ::TerminateProcess(process_, 1);
    WaitEnded(5000);
  }
  ::CloseHandle(process_);
}

bool ChildProcess::WaitEnded(std::uint32_t milliseconds) {
  return process_ != nullptr && ::WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
}

ThreadTimer::ThreadTimer(std::uint32_t milliseconds) {
  timerFired = 0;
  id_ = ::SetTimer(nullptr, 0, milliseconds, &CountTick);
}

ThreadTimer::~ThreadTimer() {
  if (id_ != 0) ::KillTimer(nullptr, id_);
}

int ThreadTimer::Fired() const { return timerFired; }

std::uint32_t WindowsUpperCase(std::uint32_t unit) {
  using Upcase = WCHAR(WINAPI*)(WCHAR);
  static const auto upcase = reinterpret_cast<Upcase>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
  return upcase ? upcase(static_cast<WCHAR>(unit)) : unit;
}

std::string Utf8Of(std::uint32_t code) {
  const wchar_t unit = static_cast<wchar_t>(code);
  return Narrow(std::wstring_view(&unit, 1));
}

std::string ProfileFromEnvironment() {
  wchar_t value[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"USERPROFILE", value, 1024);
  return length < 1024 ? Narrow(std::wstring_view(value, length)) : std::string();
}

std::uint32_t TickCount() { return ::GetTickCount(); }

void Pause(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace tidewick::wintest
