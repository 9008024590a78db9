// Stands in for the web browser in the test prefix: run-scenario.sh registers it as the
// handler of http and https addresses. It opens nothing; it appends one line per call,
// "<show mode>\t<address>", to the file named by TIDEWICK_E2E_URL_LOG (or url-log.txt beside
// itself), so a scenario can tell that a page was opened, which one and how it was shown.
#include <windows.h>
#include <shellapi.h>

#include "tests/support/win32_text_for_tests.h"

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showMode) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring address;
  for (int i = 1; i < argc; ++i) address += (i > 1 ? L" " : L"") + std::wstring(argv[i]);

  wchar_t logPath[MAX_PATH * 2] = {};
  if (!GetEnvironmentVariableW(L"TIDEWICK_E2E_URL_LOG", logPath, MAX_PATH * 2)) {
    GetModuleFileNameW(nullptr, logPath, MAX_PATH * 2);
    std::wstring beside(logPath);
    beside = beside.substr(0, beside.find_last_of(L'\\') + 1) + L"url-log.txt";
    lstrcpynW(logPath, beside.c_str(), MAX_PATH * 2);
  }

  const std::string utf8 = tidewick::testsupport::Utf8(std::to_wstring(showMode) + L"\t" + address + L"\r\n");

  // Several calls may come at once: append under a retry until the file can be opened.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
      CloseHandle(file);
      return 0;
    }
    Sleep(20);
  }
  return 1;
}
