// pskill.exe as Tidewick relies on it: one decimal process id ends that process (exit 0, and
// only once the process is gone); anything else is refused with the usage line and its own
// non-zero exit code.
//
// The tests run pskill.exe and a harmless victim program from a scratch folder, as real
// processes (under Wine on Linux, or on Windows).
//
// Not shown here: exit code 7, a process still running after the 5 s wait. Wine's server ends
// every thread of a process within TerminateProcess itself, so the process is gone before the
// wait begins; even a process stopped at a debug event by its debugger ended at once in a
// probe under Wine 8.
#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// A path given by the build. Under Wine the build folder is a Linux path, reachable through
// Wine's "\\?\unix" prefix.
std::wstring BuiltFile(const char* path) {
  std::wstring wide(path, path + std::char_traits<char>::length(path));
  if (wide.empty() || wide[0] != L'/') return wide;
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return L"\\\\?\\unix" + wide;
}

struct Finished {
  DWORD exitCode = 0;
  std::string output;  // stdout and stderr together
};

// Runs `commandLine` in `folder` with its output captured; waits at most 30 s.
Finished RunProgram(const std::wstring& application, const std::wstring& commandLine,
                   const std::wstring& folder) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  EXPECT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION started{};
  std::wstring line = commandLine;
  const BOOL ok = ::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(),
                                   nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   folder.c_str(), &startup, &started);
  const DWORD startError = ::GetLastError();
  ::CloseHandle(writeEnd);
  Finished finished;
  if (!ok) {
    ::CloseHandle(readEnd);
    ADD_FAILURE() << "could not start the command line, error " << startError;
    finished.exitCode = 0xDEAD;
    return finished;
  }
  char chunk[512];
  DWORD got = 0;
  while (::ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got) {
    finished.output.append(chunk, got);
  }
  ::CloseHandle(readEnd);
  EXPECT_EQ(::WaitForSingleObject(started.hProcess, 30000), WAIT_OBJECT_0);
  ::GetExitCodeProcess(started.hProcess, &finished.exitCode);
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return finished;
}

class PskillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    folder_ = std::wstring(temp) + L"tidewick-pskill-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    pskill_ = folder_ + L"\\pskill.exe";
    victim_ = folder_ + L"\\tw-victim.exe";
    ASSERT_TRUE(::CopyFileW(BuiltFile(TIDEWICK_PSKILL_EXE).c_str(), pskill_.c_str(), FALSE))
        << "error " << ::GetLastError();
    ASSERT_TRUE(::CopyFileW(BuiltFile(TIDEWICK_VICTIM_EXE).c_str(), victim_.c_str(), FALSE))
        << "error " << ::GetLastError();
  }

  void TearDown() override {
    for (HANDLE victim : victims_) {
      ::TerminateProcess(victim, 0);
      ::WaitForSingleObject(victim, 5000);
      ::CloseHandle(victim);
    }
    ::DeleteFileW(pskill_.c_str());
    ::DeleteFileW(victim_.c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }

  // Starts the victim; answers its id and keeps a handle to watch it (the creator's handle has
  // every right, whatever `security` grants others). `security`: the process object's security
  // descriptor in SDDL, or null for the default one.
  DWORD StartVictim(HANDLE& process, const wchar_t* security = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring line = L"tw-victim.exe";
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (security && !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                        security, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
      ADD_FAILURE() << "bad security descriptor, error " << ::GetLastError();
      return 0;
    }
    const BOOL ok = ::CreateProcessW(victim_.c_str(), line.data(), security ? &attributes : nullptr, nullptr,
                                     FALSE, CREATE_NO_WINDOW, nullptr, folder_.c_str(), &startup, &started);
    const DWORD error = ::GetLastError();
    ::LocalFree(attributes.lpSecurityDescriptor);
    if (!ok) {
      ADD_FAILURE() << "could not start the victim, error " << error;
      return 0;
    }
    ::CloseHandle(started.hThread);
    victims_.insert(started.hProcess);
    process = started.hProcess;
    return started.dwProcessId;
  }

  Finished Pskill(const std::wstring& arguments) {
    return RunProgram(pskill_, arguments.empty() ? L"pskill" : L"pskill " + arguments, folder_);
  }

  std::wstring folder_;
  std::wstring pskill_;
  std::wstring victim_;
  std::set<HANDLE> victims_;
};

constexpr const char* kUsageLine = "usage: pskill <process id>";

struct UsageCase {
  const wchar_t* arguments;
  DWORD exitCode;
};

TEST_F(PskillTest, RefusesAnythingButOneDecimalIdWithTheUsageLine) {
  const UsageCase cases[] = {
      {L"", 1},              // nothing given
      {L"12 34", 2},         // two ids
      {L"12 x", 2},          //
      {L"abc", 3},           // not a number
      {L"-5", 3},            // a sign
      {L"+5", 3},            //
      {L"12a", 3},           // trailing garbage
      {L"0x10", 3},          // not decimal
      {L"1.5", 3},           //
      {L"4294967296", 3},    // does not fit 32 bits
      {L"99999999999", 3},   //
      {L"\"\"", 3},          // an empty argument
  };
  for (const UsageCase& usage : cases) {
    SCOPED_TRACE(testing::Message() << "arguments: [" << std::string(usage.arguments,
                 usage.arguments + wcslen(usage.arguments)) << "]");
    const Finished finished = Pskill(usage.arguments);
    EXPECT_EQ(finished.exitCode, usage.exitCode);
    EXPECT_NE(finished.output.find(kUsageLine), std::string::npos) << finished.output;
  }
}

TEST_F(PskillTest, EndsARunningProcess) {
  HANDLE victim = nullptr;
  const DWORD id = StartVictim(victim);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(::WaitForSingleObject(victim, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  const Finished finished = Pskill(std::to_wstring(id));

  EXPECT_EQ(finished.exitCode, 0u) << finished.output;
  // pskill reports success only once the process is gone.
  EXPECT_EQ(::WaitForSingleObject(victim, 0), WAIT_OBJECT_0);
  DWORD victimExit = 0;
  ::GetExitCodeProcess(victim, &victimExit);
  EXPECT_EQ(victimExit, 1u);
}

TEST_F(PskillTest, EndsAProcessWhenStartedAsTidewickStartsIt) {
  HANDLE victim = nullptr;
  const DWORD id = StartVictim(victim);
  ASSERT_NE(id, 0u);

  // "cmd /c pskill <id>" finds pskill.exe in the current folder.
  const Finished finished = RunProgram(L"", L"cmd /c pskill " + std::to_wstring(id), folder_);

  EXPECT_EQ(finished.exitCode, 0u) << finished.output;
  EXPECT_EQ(::WaitForSingleObject(victim, 5000), WAIT_OBJECT_0);
}

TEST_F(PskillTest, TheUsageTextNamesTheExitCodesOfAnUnprovenEnd) {
  const Finished finished = Pskill(L"");

  EXPECT_NE(finished.output.find("7 still running after the 5 s wait"), std::string::npos) << finished.output;
  EXPECT_NE(finished.output.find("8 could not wait for its end"), std::string::npos) << finished.output;
}

TEST_F(PskillTest, AProcessThatMayBeEndedButNotAwaitedIsNotReportedEnded) {
  // Everyone may end the victim, and no one may wait for it: pskill falls back to a handle
  // without SYNCHRONIZE, ends the process, and cannot see it go.
  HANDLE victim = nullptr;
  const DWORD id = StartVictim(victim, L"D:P(D;;0x00100000;;;WD)(A;;0x0001;;;WD)");  // SYNCHRONIZE, TERMINATE
  ASSERT_NE(id, 0u);
  HANDLE awaitable = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  const DWORD openError = ::GetLastError();
  if (awaitable) ::CloseHandle(awaitable);
  ASSERT_EQ(awaitable, nullptr) << "the victim grants SYNCHRONIZE after all";
  ASSERT_EQ(openError, static_cast<DWORD>(ERROR_ACCESS_DENIED));

  const Finished finished = Pskill(std::to_wstring(id));

  EXPECT_EQ(finished.exitCode, 8u) << finished.output;
  EXPECT_NE(finished.output.find("could not wait for its end"), std::string::npos) << finished.output;
  EXPECT_EQ(finished.output.find("process " + std::to_string(id) + " ended"), std::string::npos)
      << finished.output;
  // It was ended all the same.
  EXPECT_EQ(::WaitForSingleObject(victim, 5000), WAIT_OBJECT_0);
  DWORD victimExit = 0;
  ::GetExitCodeProcess(victim, &victimExit);
  EXPECT_EQ(victimExit, 1u);
}

TEST_F(PskillTest, AnIdWithoutProcessFailsAndSaysSo) {
  // An id far above every running one (ids are multiples of 4).
  std::set<DWORD> running;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  for (BOOL more = ::Process32FirstW(snapshot, &process); more;
       more = ::Process32NextW(snapshot, &process)) {
    running.insert(process.th32ProcessID);
  }
  ::CloseHandle(snapshot);
  DWORD unused = 4000000;
  while (running.contains(unused)) unused += 4;

  const Finished finished = Pskill(std::to_wstring(unused));

  EXPECT_EQ(finished.exitCode, 4u);
  EXPECT_NE(finished.output.find("no process with id " + std::to_string(unused)), std::string::npos)
      << finished.output;
}

}  // namespace
