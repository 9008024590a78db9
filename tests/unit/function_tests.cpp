// Module Function on the simulated platform: registry values, policy repair, ending processes
// through the kill tool, the profile folder, Delay, FindLike, StripNull and RegAnswer.
#include "platform/Function.h"
#include "tests/support/expected_repair.h"

#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick {
namespace {

using sim::RegistryValue;
using sim::SimulatedPlatform;

std::vector<std::uint8_t> DwordBytes(std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

// Passes every call on to the simulation, keeps a journal of the calls the procedures'
// order depends on, and can make chosen calls fail by throwing, or let waits end early as
// when window events keep arriving.
class SpyPlatform final : public PlatformOperations {
 public:
  explicit SpyPlatform(SimulatedPlatform& sim) : sim_(sim) {}

  std::vector<std::string> journal;
  std::function<void(std::string_view call, std::string_view argument)> throwIf;
  std::uint32_t longestWait = 0xFFFFFFFFu;  // a wait ends after at most this many ms
  int tickReads = 0;
  std::vector<std::uint32_t> waits;

  Status RegOpenKeyA(Handle root, std::string_view subKey, Handle& key) override {
    Check("RegOpenKeyA", subKey);
    return sim_.RegOpenKeyA(root, subKey, key);
  }
  Status RegOpenKeyExA(Handle root, std::string_view subKey, std::uint32_t options,
                       std::uint32_t access, Handle& key) override {
    return sim_.RegOpenKeyExA(root, subKey, options, access, key);
  }
  Status RegCreateKeyA(Handle root, std::string_view subKey, Handle& key) override {
    Check("RegCreateKeyA", subKey);
    return sim_.RegCreateKeyA(root, subKey, key);
  }
  Status RegQueryValueExA(Handle key, std::string_view valueName, std::uint32_t* type,
                          void* data, std::uint32_t* size) override {
    Check("RegQueryValueExA", valueName);
    return sim_.RegQueryValueExA(key, valueName, type, data, size);
  }
  Status RegSetValueExA(Handle key, std::string_view valueName, std::uint32_t reserved,
                        std::uint32_t type, const void* data, std::uint32_t size) override {
    Check("RegSetValueExA", valueName);
    const Status status = sim_.RegSetValueExA(key, valueName, reserved, type, data, size);
    journal.push_back("set " + std::string(valueName));
    return status;
  }
  Status RegDeleteValueA(Handle key, std::string_view valueName) override {
    Check("RegDeleteValueA", valueName);
    return sim_.RegDeleteValueA(key, valueName);
  }
  Status RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameLength,
                       std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t& dataLength) override {
    return sim_.RegEnumValueA(key, index, name, nameLength, type, data, dataLength);
  }
  Status RegCloseKey(Handle key) override {
    Check("RegCloseKey", "");
    return sim_.RegCloseKey(key);
  }
  bool PathFileExistsA(std::string_view path) override { return sim_.PathFileExistsA(path); }
  bool SetFileAttributesA(std::string_view path, std::uint32_t attributes) override {
    return sim_.SetFileAttributesA(path, attributes);
  }
  bool DeleteFileA(std::string_view path) override { return sim_.DeleteFileA(path); }
  bool GetDiskFreeSpaceA(std::string_view root, DiskFreeSpace& counts) override {
    return sim_.GetDiskFreeSpaceA(root, counts);
  }
  bool GetVolumeInformationA(std::string_view root, std::uint32_t& serialNumber) override {
    return sim_.GetVolumeInformationA(root, serialNumber);
  }
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override {
    Check("CreateToolhelp32Snapshot", "");
    const Handle snapshot = sim_.CreateToolhelp32Snapshot(flags, processId);
    snapshots.push_back(snapshot);
    return snapshot;
  }
  bool Process32First(Handle snapshot, ProcessEntry32& entry) override {
    Check("Process32First", "");
    firstRecordSize = entry.dwSize;
    return sim_.Process32First(snapshot, entry);
  }
  bool Process32Next(Handle snapshot, ProcessEntry32& entry) override {
    Check("Process32Next", "");
    return sim_.Process32Next(snapshot, entry);
  }
  bool CloseHandle(Handle handle) override {
    journal.push_back("close " + std::to_string(handle));
    return sim_.CloseHandle(handle);
  }
  bool QueryFullProcessImageNameA(std::uint32_t processId, std::string& path) override {
    Check("QueryFullProcessImageNameA", std::to_string(processId));
    journal.push_back("image " + std::to_string(processId));
    return sim_.QueryFullProcessImageNameA(processId, path);
  }
  Handle GetCurrentProcess() override { return sim_.GetCurrentProcess(); }
  bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) override {
    const bool opened = sim_.OpenProcessToken(process, access, token);
    journal.push_back("token " + std::to_string(token) + " access " + std::to_string(access));
    return opened;
  }
  bool GetUserProfileDirectoryA(Handle token, std::string& buffer, std::uint32_t& size) override {
    journal.push_back("profile " + std::to_string(token) + " buffer " +
                      std::to_string(buffer.size()) + " size " + std::to_string(size) +
                      (buffer.find_first_not_of('\0') == std::string::npos ? " all NUL" : ""));
    return sim_.GetUserProfileDirectoryA(token, buffer, size);
  }
  std::uint32_t GetTickCount() override {
    ++tickReads;
    return sim_.GetTickCount();
  }
  void ShellExecuteA(Handle owner, const char* verb, std::string_view file,
                     const char* parameters, const char* directory, int show) override {
    sim_.ShellExecuteA(owner, verb, file, parameters, directory, show);
  }
  int MsgBox(std::string_view text, int style) override { return sim_.MsgBox(text, style); }
  std::string DirFirst(std::string_view pattern, std::uint32_t mask) override {
    return sim_.DirFirst(pattern, mask);
  }
  std::string DirNext() override { return sim_.DirNext(); }
  bool DirFailed() override { return sim_.DirFailed(); }
  void StartCommandLine(std::string_view commandLine, int windowStyle) override {
    Check("StartCommandLine", commandLine);
    journal.push_back("start " + std::string(commandLine) + " style " +
                      std::to_string(windowStyle));
    sim_.StartCommandLine(commandLine, windowStyle);
  }
  void DoEvents() override {
    journal.push_back("pump");
    sim_.DoEvents();
  }
  void WaitForEvents(std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    sim_.WaitForEvents(std::min(milliseconds, longestWait));
  }
  [[noreturn]] void EndProgram() override { sim_.EndProgram(); }
  bool PrevInstance() override { return sim_.PrevInstance(); }
  std::string AppExeName() override { return sim_.AppExeName(); }
  bool GetFileAttributesExA(std::string_view p, FileAttributeData& d) override { return sim_.GetFileAttributesExA(p, d); }
  std::uint32_t GetLastError() override { return sim_.GetLastError(); }
  Status RegDeleteKeyA(Handle k, std::string_view s) override { return sim_.RegDeleteKeyA(k, s); }
  void GetLocalTime(SystemTime& t) override { sim_.GetLocalTime(t); }
  bool SetClipboardText(std::string_view t) override { return sim_.SetClipboardText(t); }
  std::string GetSaveFileNameA(std::string_view n) override { return sim_.GetSaveFileNameA(n); }
  bool WriteTextFile(std::string_view p, std::string_view t, bool r) override { return sim_.WriteTextFile(p, t, r); }
  bool ReadFileBytes(std::string_view p, std::size_t m, std::vector<std::uint8_t>& b) override {
    return sim_.ReadFileBytes(p, m, b);
  }
  bool MoveFileExA(std::string_view e, std::string_view n) override { return sim_.MoveFileExA(e, n); }
  bool RemoveDirectoryA(std::string_view p) override { return sim_.RemoveDirectoryA(p); }
  std::vector<std::string> GetEnvironmentStringsA() override { return sim_.GetEnvironmentStringsA(); }
  bool SHGetFolderPathA(int f, std::string& p) override { return sim_.SHGetFolderPathA(f, p); }
  bool GetTempPathA(std::string& p) override { return sim_.GetTempPathA(p); }
  std::uint32_t GetDriveTypeA(std::string_view r) override { return sim_.GetDriveTypeA(r); }
  bool NtQueryInformationProcess(std::uint32_t id, std::string& c) override {
    return sim_.NtQueryInformationProcess(id, c);
  }

  std::vector<Handle> snapshots;
  std::uint32_t firstRecordSize = 0;

 private:
  void Check(std::string_view call, std::string_view argument) {
    if (throwIf) throwIf(call, argument);
  }
  SimulatedPlatform& sim_;
};

class FunctionTest : public ::testing::Test {
 protected:
  SimulatedPlatform sim;
  Function fn{sim};
};

// ---- Registry values --------------------------------------------------------------------

TEST_F(FunctionTest, SetRegDwordCreatesEveryMissingLevelAndWritesFourBytes) {
  EXPECT_EQ(fn.SetRegDword(Root::CurrentUser, "Software\\Tidewick\\A\\B\\", "Value", -2),
            StatusCode::Success);
  EXPECT_TRUE(sim.RegistryKeyExists(Root::CurrentUser, "Software\\Tidewick"));
  EXPECT_TRUE(sim.RegistryKeyExists(Root::CurrentUser, "Software\\Tidewick\\A\\B"));
  const auto value = sim.RegistryValueAt(Root::CurrentUser, "Software\\Tidewick\\A\\B", "Value");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, RegType::Dword);
  EXPECT_EQ(value->data, DwordBytes(0xFFFFFFFEu));
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(FunctionTest, SetRegDwordWithoutWriteRightsAnswersTheFailureAndWritesNothing) {
  sim.RefuseRegistryWrites(Root::LocalMachine);
  EXPECT_NE(fn.SetRegDword(Root::LocalMachine, "SOFTWARE\\Tidewick\\", "Value", 1),
            StatusCode::Success);
  EXPECT_FALSE(sim.RegistryValueAt(Root::LocalMachine, "SOFTWARE\\Tidewick", "Value"));
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(FunctionTest, GetRegValueAnswersTextNumberOrEmptyText) {
  const std::string key = "Software\\Tidewick\\Values";
  struct Case {
    const char* what;
    std::optional<RegistryValue> stored;  // none: the value is not there
    RegAnswer expected;
  };
  const Case cases[] = {
      {"missing value", std::nullopt, RegAnswer("")},
      {"text", RegistryValue::Text("hello"), RegAnswer("hello")},
      {"text outside ASCII", RegistryValue::Text("Привет, 世界"), RegAnswer("Привет, 世界")},
      {"empty text", RegistryValue::Text(""), RegAnswer("")},
      {"the text 1 stays text", RegistryValue::Text("1"), RegAnswer("1")},
      {"text stored without its NUL", RegistryValue::Bytes(RegType::Sz, {'a', 'b', 'c'}),
       RegAnswer("abc")},
      {"empty text stored without NUL (size 0)", RegistryValue::Bytes(RegType::Sz, {}), RegAnswer("")},
      {"text cut at its first NUL", RegistryValue::Bytes(RegType::Sz, {'a', 'b', 0, 'c', 'd', 0}),
       RegAnswer("ab")},
      {"number 0", RegistryValue::Dword(0), RegAnswer(0)},
      {"number 1", RegistryValue::Dword(1), RegAnswer(1)},
      {"number with the top bit set", RegistryValue::Dword(0xFFFFFFFFu), RegAnswer(-1)},
      {"expandable text", RegistryValue::Text("%TEMP%", RegType::ExpandSz), RegAnswer("")},
      {"binary", RegistryValue::Bytes(RegType::Binary, {1, 0, 0, 0}), RegAnswer("")},
      {"multi-text", RegistryValue::Bytes(RegType::MultiSz, {'a', 0, 'b', 0, 0}), RegAnswer("")},
      {"oversized number", RegistryValue::Bytes(RegType::Dword, {1, 0, 0, 0, 0, 0, 0, 0}),
       RegAnswer("")},
  };
  for (const Case& c : cases) {
    sim.DeleteRegistryKey(Root::CurrentUser, key);
    sim.CreateRegistryKey(Root::CurrentUser, key);
    if (c.stored) sim.SetRegistryValue(Root::CurrentUser, key, "Setting", *c.stored);
    const RegAnswer answer = fn.GetRegValue(Root::CurrentUser, key + "\\", "Setting");
    EXPECT_EQ(answer, c.expected) << c.what;
    EXPECT_EQ(sim.OpenHandleCount(), 0u) << c.what;
  }
  EXPECT_EQ(fn.GetRegValue(Root::CurrentUser, "Software\\Nowhere", "Setting"), RegAnswer(""));
}

TEST_F(FunctionTest, EmptyTextAndTheNumberZeroStayApart) {
  sim.SetRegistryValue(Root::CurrentUser, "Software\\T", "Zero", RegistryValue::Dword(0));
  sim.SetRegistryValue(Root::CurrentUser, "Software\\T", "Empty", RegistryValue::Text(""));
  const RegAnswer zero = fn.GetRegValue(Root::CurrentUser, "Software\\T", "Zero");
  const RegAnswer empty = fn.GetRegValue(Root::CurrentUser, "Software\\T", "Empty");
  EXPECT_TRUE(zero.IsNumber());
  EXPECT_EQ(zero.Number(), 0);
  EXPECT_TRUE(empty.IsText());
  EXPECT_NE(zero, empty);
  EXPECT_EQ(empty, RegAnswer());
}

TEST_F(FunctionTest, DeleteRegValueRemovesOnlyThatValue) {
  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  sim.SetRegistryValue(Root::CurrentUser, run, "bad", RegistryValue::Text("C:\\x\\bad.exe"));
  sim.SetRegistryValue(Root::CurrentUser, run, "good", RegistryValue::Text("C:\\good.exe"));
  fn.DeleteRegValue(Root::CurrentUser, run, "bad");
  EXPECT_FALSE(sim.RegistryValueAt(Root::CurrentUser, run, "bad"));
  EXPECT_TRUE(sim.RegistryValueAt(Root::CurrentUser, run, "good"));

  EXPECT_NO_THROW(fn.DeleteRegValue(Root::CurrentUser, run, "bad"));  // already gone
  EXPECT_TRUE(sim.RegistryValueAt(Root::CurrentUser, run, "good"));

  fn.DeleteRegValue(Root::CurrentUser, "Software\\Missing\\Key", "bad");
  EXPECT_FALSE(sim.RegistryKeyExists(Root::CurrentUser, "Software\\Missing\\Key"));
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(FunctionTest, RegKeyExistsTellsWhetherTheKeyOpens) {
  sim.CreateRegistryKey(Root::CurrentUser, "Software\\Present");
  EXPECT_TRUE(fn.RegKeyExists(Root::CurrentUser, "Software\\Present"));
  EXPECT_TRUE(fn.RegKeyExists(Root::CurrentUser, "software\\present\\"));
  EXPECT_FALSE(fn.RegKeyExists(Root::CurrentUser, "Software\\Absent"));
  sim.RefuseRegistryOpen(Root::CurrentUser, "Software\\Present");
  EXPECT_FALSE(fn.RegKeyExists(Root::CurrentUser, "Software\\Present"));
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

// The registry procedures trap nothing, but what a platform call throws never leaves a key
// open behind it.
TEST_F(FunctionTest, ARegistryCallThatThrowsLeavesNoKeyOpen) {
  SpyPlatform spy(sim);
  Function f(spy);
  const std::string key = "Software\\Tidewick\\Values";
  sim.SetRegistryValue(Root::CurrentUser, key, "Text", RegistryValue::Text("abc"));
  sim.SetRegistryValue(Root::CurrentUser, key, "Number", RegistryValue::Dword(1));
  struct Case {
    const char* what;
    const char* call;  // the call that throws
    std::function<void(Function&)> run;
  };
  const Case cases[] = {
      {"reading text", "RegQueryValueExA",
       [&](Function& procedures) { procedures.GetRegValue(Root::CurrentUser, key, "Text"); }},
      {"reading a number", "RegQueryValueExA",
       [&](Function& procedures) { procedures.GetRegValue(Root::CurrentUser, key, "Number"); }},
      {"deleting a value", "RegDeleteValueA",
       [&](Function& procedures) { procedures.DeleteRegValue(Root::CurrentUser, key, "Text"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    spy.throwIf = [&](std::string_view call, std::string_view) {
      if (call == c.call) throw std::runtime_error("the call failed");
    };
    EXPECT_THROW(c.run(f), std::runtime_error);
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
  }
  spy.throwIf = nullptr;
  EXPECT_EQ(f.GetRegValue(Root::CurrentUser, key, "Text"), RegAnswer("abc"));
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

// ---- Policy repair ------------------------------------------------------------------------

using Row = expected::RegistryRow;
using expected::kCommandPrompt;
using expected::kRepair;

template <std::size_t N>
void ExpectWrites(const std::vector<sim::RegistryWrite>& writes, const Row (&rows)[N]) {
  ASSERT_EQ(writes.size(), N);
  for (std::size_t i = 0; i < N; ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1) + " " + rows[i].valueName);
    EXPECT_EQ(writes[i].root, rows[i].root);
    EXPECT_EQ(writes[i].subKey, rows[i].subKey);  // exact text: trailing '\' and letter case
    EXPECT_EQ(writes[i].valueName, rows[i].valueName);
    EXPECT_EQ(writes[i].type, RegType::Dword);
    EXPECT_EQ(writes[i].data, DwordBytes(rows[i].data));
  }
}

std::size_t ValueCount(const SimulatedPlatform& sim) {
  return sim.RegistryValueCount(Root::CurrentUser) + sim.RegistryValueCount(Root::LocalMachine);
}

TEST_F(FunctionTest, FixRegistryWritesTheTwelveRowsInOrderOnAnEmptyRegistryThenPumpsOnce) {
  std::size_t writesWhenPumped = 0;
  sim.OnDoEvents([&] { writesWhenPumped = sim.RegistryWrites().size(); });
  fn.FixRegistry();

  ExpectWrites(sim.RegistryWrites(), kRepair);
  for (const Row& row : kRepair) {
    EXPECT_TRUE(sim.RegistryKeyExists(row.root, row.subKey)) << row.subKey;
    const auto value = sim.RegistryValueAt(row.root, row.subKey, row.valueName);
    ASSERT_TRUE(value.has_value()) << row.valueName;
    EXPECT_EQ(value->type, RegType::Dword);
    EXPECT_EQ(value->data, DwordBytes(row.data)) << row.valueName;
  }
  EXPECT_EQ(ValueCount(sim), 12u);
  EXPECT_EQ(sim.DoEventsCount(), 1u);
  EXPECT_EQ(writesWhenPumped, 12u);
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(FunctionTest, FixRegistryTwiceLeavesWhatOnceLeaves) {
  sim.SetRegistryValue(Root::CurrentUser,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                       "DisableTaskMgr", RegistryValue::Dword(1));
  fn.FixRegistry();
  std::vector<std::optional<RegistryValue>> once;
  for (const Row& row : kRepair) once.push_back(sim.RegistryValueAt(row.root, row.subKey, row.valueName));
  const std::size_t countOnce = ValueCount(sim);

  sim.ClearRegistryWrites();
  fn.FixRegistry();
  ExpectWrites(sim.RegistryWrites(), kRepair);
  for (std::size_t i = 0; i < std::size(kRepair); ++i) {
    const auto now = sim.RegistryValueAt(kRepair[i].root, kRepair[i].subKey, kRepair[i].valueName);
    ASSERT_TRUE(now && once[i]);
    EXPECT_EQ(now->data, once[i]->data) << kRepair[i].valueName;
  }
  EXPECT_EQ(ValueCount(sim), countOnce);
  EXPECT_EQ(countOnce, 12u);
}

TEST_F(FunctionTest, FixRegistryWithoutMachineRightsStillWritesTheSevenUserRows) {
  sim.RefuseRegistryWrites(Root::LocalMachine);
  fn.FixRegistry();
  const auto& writes = sim.RegistryWrites();
  ASSERT_EQ(writes.size(), 12u);  // every row was tried, in order
  int userRows = 0;
  for (std::size_t i = 0; i < std::size(kRepair); ++i) {
    const Row& row = kRepair[i];
    EXPECT_EQ(writes[i].valueName, row.valueName);
    const bool user = row.root == Root::CurrentUser;
    EXPECT_EQ(writes[i].status == StatusCode::Success, user) << row.valueName;
    EXPECT_EQ(sim.RegistryValueAt(row.root, row.subKey, row.valueName).has_value(), user)
        << row.valueName;
    userRows += user;
  }
  EXPECT_EQ(userRows, 7);
  EXPECT_EQ(sim.RegistryValueCount(Root::CurrentUser), 7u);
  EXPECT_EQ(sim.RegistryValueCount(Root::LocalMachine), 0u);
  EXPECT_EQ(sim.DoEventsCount(), 1u);
}

TEST_F(FunctionTest, EnableCommandPromptLiftsThePolicyUnderBothRoots) {
  for (const Row& row : kCommandPrompt) {
    sim.SetRegistryValue(row.root, row.subKey, row.valueName, RegistryValue::Dword(1));
  }
  sim.ClearRegistryWrites();
  fn.EnableCommandPrompt();
  ExpectWrites(sim.RegistryWrites(), kCommandPrompt);
  for (const Row& row : kCommandPrompt) {
    EXPECT_EQ(fn.GetRegValue(row.root, row.subKey, row.valueName), RegAnswer(0));
  }
  EXPECT_EQ(sim.DoEventsCount(), 0u);
}

// A step that raises an error is passed over; the steps after it still run and nothing
// reaches the caller.
TEST_F(FunctionTest, PolicyRepairPassesOverAStepThatRaisesAnError) {
  SpyPlatform spy(sim);
  Function f(spy);
  spy.throwIf = [](std::string_view call, std::string_view argument) {
    if (call == "RegCreateKeyA" && argument.find("Explorer\\Advanced\\Folder\\") != argument.npos)
      throw std::runtime_error("create failed");
    if (call == "RegSetValueExA" && argument == "NoFolderOptions")
      throw std::runtime_error("write failed");
  };
  EXPECT_NO_THROW(f.FixRegistry());
  // The two rows under "Advanced\Folder\..." had no key; NoFolderOptions raised twice.
  std::vector<std::string> written;
  for (const auto& w : sim.RegistryWrites()) written.push_back(w.valueName);
  EXPECT_EQ(written, (std::vector<std::string>{"DisableCMD", "DisableTaskMgr", "DisableTaskMgr",
                                               "DisableRegistryTools", "DisableRegistryTools",
                                               "SuperHidden", "HideFileExt", "Hidden",
                                               "ShowSuperHidden", "CheckedValue"}));
  EXPECT_FALSE(sim.RegistryKeyExists(Root::LocalMachine,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                     "Advanced\\Folder\\Hidden\\SHOWALL"));
  EXPECT_EQ(spy.journal.back(), "pump");
  EXPECT_EQ(sim.OpenHandleCount(), 0u);

  spy.throwIf = [](std::string_view call, std::string_view) {
    if (call == "RegCloseKey") throw std::runtime_error("close failed");
  };
  sim.ClearRegistryWrites();
  EXPECT_NO_THROW(f.EnableCommandPrompt());
  EXPECT_EQ(sim.RegistryWrites().size(), 2u);
  // The write's own answer survives a failing close; a write that raised is no success.
  EXPECT_EQ(f.SetRegDword(Root::CurrentUser, "Software\\T", "V", 1), StatusCode::Success);
  spy.throwIf = [](std::string_view call, std::string_view) {
    if (call == "RegSetValueExA") throw std::runtime_error("write failed");
  };
  EXPECT_NE(f.SetRegDword(Root::CurrentUser, "Software\\T", "V", 1), StatusCode::Success);
}

// ---- Ending processes ---------------------------------------------------------------------

class KillTest : public FunctionTest {
 protected:
  void SetUp() override {
    sim.AddDrive('C');
    sim.AddFolder("C:\\Tidewick");
    sim.AddFile("C:\\Tidewick\\pskill.exe");
    sim.SetCurrentFolder("C:\\Tidewick");
  }
  std::string Command(std::uint32_t pid) { return "cmd /c pskill " + std::to_string(pid); }
};

TEST_F(KillTest, MatchesTheWholeNameInAnyLetterCase) {
  struct Case {
    const char* running;
    const char* asked;
    bool match;
  };
  const Case cases[] = {
      {"abc.exe", "ABC.EXE", true},
      {"Abc.Exe", "abc.exe", true},
      {"ПРОГРАММА.exe", "программа.EXE", true},
      {"ΑΘΉΝΑ.exe", "αθήνα.exe", true},
      {"ＡＢＣ.exe", "ａｂｃ.exe", true},
      {"abc.exe", "C:\\Users\\Ann\\abc.exe", false},
      {"abc.exe", "\\abc.exe", false},
      {"abc.exe", "abc", false},
      {"abc.exe", "bc.exe", false},
      {"abc.exe", "abc.exe ", false},
      {"abc.exe", "abc.exe.exe", false},
      {"abc.exe", "", false},
      {"İnfo.exe", "info.exe", false},  // a different name on Windows too
  };
  for (const Case& c : cases) {
    SimulatedPlatform fresh;
    Function f(fresh);
    fresh.StartProcess("explorer.exe");
    const std::uint32_t pid = fresh.StartProcess(c.running);
    f.KillProcessByName(c.asked);
    if (c.match) {
      ASSERT_EQ(fresh.CommandLines().size(), 1u) << c.running << " / " << c.asked;
      EXPECT_EQ(fresh.CommandLines()[0].commandLine, Command(pid));
      EXPECT_EQ(fresh.CommandLines()[0].windowStyle, ShowCommand::MinimizedNoFocus);
      EXPECT_EQ(fresh.RegistryWrites().size(), 2u);
    } else {
      EXPECT_TRUE(fresh.CommandLines().empty()) << c.running << " / " << c.asked;
      EXPECT_TRUE(fresh.RegistryWrites().empty()) << c.running << " / " << c.asked;
    }
  }
}

TEST_F(KillTest, NoSuchProcessStartsNothingAndWritesNoPolicy) {
  sim.StartProcess("explorer.exe");
  fn.KillProcessByName("virus.exe");
  EXPECT_TRUE(sim.CommandLines().empty());
  EXPECT_TRUE(sim.RegistryWrites().empty());
  EXPECT_EQ(sim.RegistryValueCount(Root::CurrentUser), 0u);
}

TEST_F(KillTest, EveryCopyGetsItsCommandInSnapshotOrderEachAfterTheTwoPolicyWrites) {
  SpyPlatform spy(sim);
  Function f(spy);
  const std::uint32_t first = sim.StartProcess("virus.exe");
  sim.StartProcess("explorer.exe");
  const std::uint32_t second = sim.StartProcess("VIRUS.EXE");

  f.KillProcessByName("Virus.exe");

  ASSERT_EQ(spy.snapshots.size(), 1u);
  const std::string close = "close " + std::to_string(spy.snapshots[0]);
  const std::string style = " style " + std::to_string(ShowCommand::MinimizedNoFocus);
  EXPECT_EQ(spy.journal, (std::vector<std::string>{
                             "set DisableCMD", "set DisableCMD", "start " + Command(first) + style,
                             "set DisableCMD", "set DisableCMD", "start " + Command(second) + style,
                             close}));
  EXPECT_EQ(spy.firstRecordSize, ProcessEntry32::kAnsiSize);
  ExpectWrites({sim.RegistryWrites().begin(), sim.RegistryWrites().begin() + 2}, kCommandPrompt);

  // The kill tool in the current folder ends both within the second the cleaner waits.
  f.Delay(1000);
  EXPECT_FALSE(sim.IsRunning(first));
  EXPECT_FALSE(sim.IsRunning(second));
  EXPECT_EQ(sim.Processes().size(), 1u);
}

TEST_F(KillTest, AStartThatRaisesAnErrorDoesNotStopTheWalk) {
  SpyPlatform spy(sim);
  Function f(spy);
  const std::uint32_t first = sim.StartProcess("virus.exe");
  const std::uint32_t second = sim.StartProcess("virus.exe");
  spy.throwIf = [&](std::string_view call, std::string_view argument) {
    if (call == "StartCommandLine" && argument == Command(first))
      throw std::runtime_error("cannot start");
  };
  EXPECT_NO_THROW(f.KillProcessByName("virus.exe"));
  ASSERT_EQ(sim.CommandLines().size(), 1u);
  EXPECT_EQ(sim.CommandLines()[0].commandLine, Command(second));
  EXPECT_EQ(spy.journal.back(), "close " + std::to_string(spy.snapshots.at(0)));

  // A snapshot that cannot be taken: an empty walk, nothing started, nothing thrown.
  spy.throwIf = [](std::string_view call, std::string_view) {
    if (call == "CreateToolhelp32Snapshot") throw std::runtime_error("no snapshot");
  };
  spy.journal.clear();
  EXPECT_NO_THROW(f.KillProcessByName("virus.exe"));
  EXPECT_EQ(sim.CommandLines().size(), 1u);
}

// ---- Ending the process of one program file ------------------------------------------------

// A worm names itself like a system program; only the copy whose image is the file being
// cleaned is handed to the kill tool.
TEST_F(KillTest, ByImageEndsOnlyTheProcessRunningFromThatFile) {
  struct Case {
    const char* image;  // where the process runs from
    const char* asked;  // the file being cleaned
    bool ends;
  };
  const Case cases[] = {
      {"C:\\Users\\Ann\\svchost.exe", "C:\\Users\\Ann\\svchost.exe", true},
      {"C:\\Users\\Ann\\svchost.exe", "c:\\USERS\\ann\\SvcHost.EXE", true},
      {"C:\\Users\\Ann\\svchost.exe", "\\\\?\\C:\\Users\\Ann\\svchost.exe", true},
      {"\\\\?\\C:\\Users\\Ann\\svchost.exe", "C:\\Users\\Ann\\svchost.exe", true},
      {"C:\\Users\\Ann\\svchost.exe", "C:/Users/Ann/svchost.exe", true},
      {"C:\\Users\\Аня\\ПРОГРАММА.exe", "c:\\users\\аня\\программа.EXE", true},
      {"C:\\Windows\\System32\\svchost.exe", "C:\\Users\\Ann\\svchost.exe", false},
      {"C:\\Users\\Ann\\sub\\svchost.exe", "C:\\Users\\Ann\\svchost.exe", false},
      {"C:\\Users\\Ann\\svchost.exe", "C:\\Users\\Ann\\sub\\svchost.exe", false},
      {"C:\\Users\\Ann\\svchost.exe", "svchost.exe", false},
      {"C:\\Users\\Ann\\svchost.exe", "\\svchost.exe", false},
      {"C:\\Users\\Ann\\svchost.exe", "C:\\Users\\Ann\\", false},
      {"C:\\Users\\Ann\\svchost.exe", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.image) + " / " + c.asked);
    SimulatedPlatform fresh;
    Function f(fresh);
    const std::string image = c.image;
    const std::uint32_t pid = fresh.StartProcess(image.substr(image.find_last_of('\\') + 1), image);
    f.KillProcessByImage(c.asked);
    if (c.ends) {
      ASSERT_EQ(fresh.CommandLines().size(), 1u);
      EXPECT_EQ(fresh.CommandLines()[0].commandLine, Command(pid));
      EXPECT_EQ(fresh.CommandLines()[0].windowStyle, ShowCommand::MinimizedNoFocus);
      EXPECT_EQ(fresh.RegistryWrites().size(), 2u);
    } else {
      EXPECT_TRUE(fresh.CommandLines().empty());
      EXPECT_TRUE(fresh.RegistryWrites().empty());
    }
  }
}

TEST_F(KillTest, ByImageLeavesTheNamesakesAndEveryProcessWhoseImageCannotBeRead) {
  SpyPlatform spy(sim);
  Function f(spy);
  const std::string worm = "C:\\Users\\Ann\\svchost.exe";
  const std::uint32_t system = sim.StartProcess("svchost.exe", "C:\\Windows\\System32\\svchost.exe");
  const std::uint32_t first = sim.StartProcess("svchost.exe", worm);
  const std::uint32_t hidden = sim.StartProcess("svchost.exe", worm);
  sim.HideImagePath(hidden);
  const std::uint32_t other = sim.StartProcess("explorer.exe", "C:\\Windows\\explorer.exe");
  const std::uint32_t second = sim.StartProcess("SVCHOST.EXE", worm);

  f.KillProcessByImage(worm);

  // Only the namesakes are asked for their image; each copy of the worm gets its command after
  // the two policy writes, in snapshot order.
  ASSERT_EQ(spy.snapshots.size(), 1u);
  const std::string style = " style " + std::to_string(ShowCommand::MinimizedNoFocus);
  const auto image = [](std::uint32_t pid) { return "image " + std::to_string(pid); };
  EXPECT_EQ(spy.journal, (std::vector<std::string>{
                             image(system), image(first), "set DisableCMD", "set DisableCMD",
                             "start " + Command(first) + style, image(hidden), image(second),
                             "set DisableCMD", "set DisableCMD", "start " + Command(second) + style,
                             "close " + std::to_string(spy.snapshots[0])}));
  f.Delay(1000);
  EXPECT_FALSE(sim.IsRunning(first));
  EXPECT_FALSE(sim.IsRunning(second));
  EXPECT_TRUE(sim.IsRunning(system));
  EXPECT_TRUE(sim.IsRunning(hidden));
  EXPECT_TRUE(sim.IsRunning(other));
}

TEST_F(KillTest, ByImageThatRaisesAnErrorPassesThatProcessOver) {
  SpyPlatform spy(sim);
  Function f(spy);
  const std::string worm = "C:\\Users\\Ann\\a.exe";
  const std::uint32_t first = sim.StartProcess("a.exe", worm);
  const std::uint32_t second = sim.StartProcess("a.exe", worm);
  spy.throwIf = [&](std::string_view call, std::string_view argument) {
    if (call == "QueryFullProcessImageNameA" && argument == std::to_string(first)) {
      throw std::runtime_error("cannot open the process");
    }
  };
  EXPECT_NO_THROW(f.KillProcessByImage(worm));
  ASSERT_EQ(sim.CommandLines().size(), 1u);
  EXPECT_EQ(sim.CommandLines()[0].commandLine, Command(second));
  EXPECT_EQ(spy.journal.back(), "close " + std::to_string(spy.snapshots.at(0)));
}

// ---- Profile folder -----------------------------------------------------------------------

TEST_F(FunctionTest, GetUserProfilePathAsksWithAFullBufferAndClosesTheToken) {
  SpyPlatform spy(sim);
  Function f(spy);
  sim.SetProfileFolder("C:\\Users\\Ann");
  EXPECT_EQ(f.GetUserProfilePath(), "C:\\Users\\Ann");
  ASSERT_EQ(spy.journal.size(), 3u);
  const std::string token = spy.journal[0].substr(6, spy.journal[0].find(' ', 6) - 6);
  EXPECT_EQ(spy.journal[0], "token " + token + " access " + std::to_string(TokenAccess::Query));
  EXPECT_EQ(spy.journal[1], "profile " + token + " buffer 255 size 255 all NUL");
  EXPECT_EQ(spy.journal[2], "close " + token);
  EXPECT_NE(token, "0");
}

TEST_F(FunctionTest, GetUserProfilePathIsEmptyWhenTheProfileCannotBeLearned) {
  sim.SetProfileFolder("");
  EXPECT_EQ(fn.GetUserProfilePath(), "");
}

TEST_F(FunctionTest, GetUserProfilePathKeepsNamesOutsideAscii) {
  sim.SetProfileFolder("C:\\Users\\Анна Каренина");
  EXPECT_EQ(fn.GetUserProfilePath(), "C:\\Users\\Анна Каренина");
}

// A profile path longer than the 255-byte buffer (each of these letters takes two or three
// bytes) is asked for again with the size the call answered, not cut or lost.
TEST_F(FunctionTest, GetUserProfilePathLongerThanTheBufferIsStillLearned) {
  std::string folder = "C:\\Users\\";
  for (int i = 0; i < 60; ++i) folder += "Жক";
  ASSERT_GT(folder.size(), 255u);
  sim.SetProfileFolder(folder);
  EXPECT_EQ(fn.GetUserProfilePath(), folder);
}

// ---- Delay --------------------------------------------------------------------------------

TEST_F(FunctionTest, DelayWaitsAtLeastTheTimeWithoutSpinning) {
  struct Case {
    const char* what;
    std::uint32_t startTick;
    std::uint32_t milliseconds;
  };
  const Case cases[] = {
      {"one second", 5000, 1000},
      {"across the wrap of the tick counter", 0xFFFFFF00u, 1000},
      {"starting right at the wrap", 0xFFFFFFFFu, 1000},
      {"a short wait", 123, 15},
  };
  for (const Case& c : cases) {
    SimulatedPlatform s;
    SpyPlatform spy(s);
    Function f(spy);
    s.SetTickCount(c.startTick);
    f.Delay(c.milliseconds);
    const std::uint32_t elapsed = s.GetTickCount() - c.startTick;
    EXPECT_GE(elapsed, c.milliseconds) << c.what;
    EXPECT_LT(elapsed, c.milliseconds + 50) << c.what;  // not a wait of four billion ticks
    EXPECT_LE(spy.waits.size(), 2u) << c.what;
    EXPECT_GE(s.DoEventsCount(), 1u) << c.what;
  }
}

TEST_F(FunctionTest, DelayOfZeroReturnsAtOnce) {
  SpyPlatform spy(sim);
  Function f(spy);
  f.Delay(0);
  EXPECT_TRUE(spy.waits.empty());
  EXPECT_EQ(sim.DoEventsCount(), 0u);
}

// Events keep arriving (each wait ends after 10 ms): every one is handled, each pass of the
// loop waits for the remaining time, and the clock is read once a pass, not in a busy loop.
TEST_F(FunctionTest, DelayHandlesEachEventAsItComesAndWaitsForTheRest) {
  SpyPlatform spy(sim);
  Function f(spy);
  spy.longestWait = 10;
  sim.SetTickCount(1000);
  f.Delay(1000);
  EXPECT_GE(sim.GetTickCount() - 1000u, 1000u);
  EXPECT_EQ(spy.waits.size(), 100u);
  EXPECT_EQ(sim.DoEventsCount(), spy.waits.size());
  EXPECT_EQ(spy.tickReads, static_cast<int>(spy.waits.size()) + 2);
  for (std::size_t i = 0; i < spy.waits.size(); ++i) {
    EXPECT_EQ(spy.waits[i], 1000u - 10u * i) << "wait " << i;
  }
}

// A handler run by the pump may take time itself, and may even wait in Delay in turn: the
// outer Delay counts that time and ends after its own second, not later.
TEST_F(FunctionTest, DelayRunsReentrantHandlersAndCountsTheirTime) {
  SpyPlatform spy(sim);
  Function f(spy);
  spy.longestWait = 100;  // an event every 100 ms
  sim.SetTickCount(0);
  int handled = 0;
  sim.OnDoEvents([&] {
    if (++handled == 1) {
      sim.AdvanceClock(300);  // a slow handler
      f.Delay(200);           // which waits as well
    }
  });
  f.Delay(1000);
  const std::uint32_t now = sim.GetTickCount();
  EXPECT_GE(now, 1000u);
  EXPECT_LT(now, 1100u);
  EXPECT_GE(handled, 3);  // the inner Delay pumped too
  EXPECT_EQ(sim.WaitedMilliseconds() + 300u, now);
}

// ---- FindLike, StripNull, RegAnswer -------------------------------------------------------

TEST_F(FunctionTest, FindLikeAnswersThePositionOfTheFirstMatch) {
  struct Case {
    std::string_view text;
    std::string_view pattern;
    int start;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {"abcdef", "cd", 1, 3},
      {"abcdef", "c?e", 1, 3},
      {"abcdef", "xy", 1, 0},
      {"abcdef", "[a-c]", 1, 1},
      {"abcdef", "[!a-c]", 1, 4},
      {"abcdef", "f", 1, 6},
      {"abcdef", "*", 1, 1},
      {"abcdef", "CD", 1, 0},  // case-sensitive
      {"ab3c4", "[0-9]", 1, 3},
      {"ab3c4", "#", 1, 3},
      {"no digits", "[0-9]", 1, 0},
      {"abcdef", "cd", 3, 1},  // counted from the start position
      {"abcdef", "cd", 4, 0},
      {"abcdef", "cd", 7, 0},
      {"abcdef", "cd", 100, 0},
      {"", "a", 1, 0},
      {"ёжик.exe", "ж", 1, 2},  // characters, not bytes
      {"ёжик.exe", "*.exe", 1, 1},
      {"\xFF" "ab", "a", 1, 2},
      {"c:\\users\\ann\\x.exe", "\\x.exe", 1, 13},
      {"abcdef", "[", 1, std::nullopt},
      {"abcdef", "[a-", 1, std::nullopt},
      {"", "[", 1, std::nullopt},
      {"abcdef", "cd", 0, std::nullopt},
      {"abcdef", "cd", -5, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fn.FindLike(c.text, c.pattern, c.start), c.expected)
        << '"' << c.text << "\" / \"" << c.pattern << "\" from " << c.start;
  }
}

TEST(StripNull, CutsAtTheFirstNul) {
  using namespace std::string_view_literals;
  EXPECT_EQ(Function::StripNull("abc"sv), "abc");
  EXPECT_EQ(Function::StripNull("\0abc"sv), "");
  EXPECT_EQ(Function::StripNull("ab\0cd\0"sv), "ab");
  EXPECT_EQ(Function::StripNull(""sv), "");
  EXPECT_EQ(Function::StripNull(std::string(255, '\0')), "");
}

TEST(RegAnswer, IsOneForTheNumberOneAndTextReadingAsOne) {
  EXPECT_TRUE(RegAnswer(1).IsOne());
  EXPECT_FALSE(RegAnswer(0).IsOne());
  EXPECT_FALSE(RegAnswer(-1).IsOne());
  EXPECT_FALSE(RegAnswer(11).IsOne());
  for (const char* yes : {"1", " 1", "1 ", "\t1", "01", "001", "+1", "1.0", "1.", "1.000"}) {
    EXPECT_TRUE(RegAnswer(yes).IsOne()) << '"' << yes << '"';
  }
  for (const char* no : {"", " ", "0", "10", "11", "-1", "1a", "a1", "0x1", "1e0", ".1", "1.01",
                         "1 1", "+", ".", "1..0", "+-1", "one"}) {
    EXPECT_FALSE(RegAnswer(no).IsOne()) << '"' << no << '"';
  }
}

}  // namespace
}  // namespace tidewick
