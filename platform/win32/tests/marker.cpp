// Stands in for a planted program (cmd.exe, pskill.com, ...) in the kill-tool test of
// win32_platform_tests: when it runs it only leaves the file "<its own path>.ran" beside itself.
#include <windows.h>

#include <string>

int main() {
  std::wstring self(32768, L'\0');
  self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  const HANDLE marker = ::CreateFileW((self + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return 0;
}
