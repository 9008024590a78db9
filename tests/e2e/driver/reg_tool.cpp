#include "tests/e2e/driver/reg_tool.h"

#include "tests/e2e/driver/driver.h"

#include <windows.h>

#include <cstdio>
#include <sstream>

namespace tidewick::e2e {

RegRun Reg(const std::string& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw DriverError("cannot make a pipe for reg.exe");
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  BOOL started = FALSE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) Pause(Ms(200));
    std::wstring commandLine = Wide("reg.exe " + arguments);
    started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &info);
    if (!started) {
      error = GetLastError();
      std::fprintf(stderr, "starting reg.exe failed (error %lu)\n", static_cast<unsigned long>(error));
    }
  }
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    throw DriverError("cannot start reg.exe " + arguments + " (error " + std::to_string(error) + ")");
  }
  RegRun run;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
  CloseHandle(readEnd);
  if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 1);
    run.output += "\n(reg.exe did not end)";
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(info.hProcess, &exitCode);
  run.exitCode = exitCode;
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return run;
}

RegRun RegAdd(const RegLocation& at, const std::string& type, const std::string& data) {
  return Reg("add \"" + at.key + "\" /v " + at.value + " /t " + type + " /d " + data + " /f");
}

void RegDelete(const RegLocation& at) { Reg("delete \"" + at.key + "\" /v " + at.value + " /f"); }

std::string RegQuery(const RegLocation& at) {
  const RegRun run = Reg("query \"" + at.key + "\" /v " + at.value);
  if (run.exitCode != 0) return "missing";
  std::istringstream lines(run.output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string name, type, data;
    if (!(words >> name >> type)) continue;
    if (name != at.value || type.rfind("REG_", 0) != 0) continue;
    std::getline(words >> std::ws, data);
    while (!data.empty() && (data.back() == '\r' || data.back() == ' ')) data.pop_back();
    return type + " " + data;
  }
  return "unreadable: " + run.output;
}

}  // namespace tidewick::e2e
