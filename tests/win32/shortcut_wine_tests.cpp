// The readers against Windows' own code, under Wine: shortcuts written by the shell's shortcut
// object (IShellLinkW + IPersistFile::Save) read by our reader; our test writer's shortcuts
// loaded by that object and compared field by field where Wine reads them right; and the
// command-line tables against CommandLineToArgvW and ExpandEnvironmentStringsW.
//
// What Wine 8 does differently, and how the tests treat it:
//  - Every string it writes has a count that includes a trailing NUL (47 for 46 characters),
//    and an empty argument string is written as HasArguments with one NUL. The reader accepts
//    both; the test checks that it saw the NUL-counted form.
//  - A file item's extension block carries the Unicode long name, but with version and
//    signature zero instead of 0xBEEF0004 (the reader knows that form; the ID list of the
//    Unicode case depends on it).
//  - The LinkInfo is written ANSI only (a 0x1C header, no Unicode paths), so a name outside
//    the code page reads "????" there; the reader's comparison of an ANSI path lets it agree.
//  - Loaded links report show command 1 whatever the file says (GetShowCmd); the show command
//    is compared only on what Wine writes, never on what it reads.
//  - GetPath gives a LinkInfo's LocalBasePath without its CommonPathSuffix, and ignores a
//    target stated only in the environment block (Windows uses both). Those shapes are not
//    cross-checked here; the native table covers them.
#include "readers/command_line.h"
#include "readers/paths.h"
#include "readers/shortcut.h"
#include "tests/support/command_line_cases.h"
#include "tests/support/shortcut_writer.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tidewick::readers {
namespace {

using testing::ShortcutWriter;
using Bytes = std::vector<std::uint8_t>;

std::wstring Wide(std::string_view utf8) {
  std::wstring wide(utf8.size(), L'\0');
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                           static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  std::string utf8(wide.size() * 3, '\0');
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return utf8;
}

// COM for one test, apartment-threaded as a window thread has it.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(::CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

// An interface pointer released when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A fresh folder in the temporary folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = std::filesystem::temp_directory_path() / ("tidewick-shortcuts-" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Bytes ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::filesystem::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// What the shortcut object is given, and what it gives back.
struct LinkFields {
  std::string path;
  std::string arguments;
  std::string workingDir;
  std::string iconPath;
  int iconIndex = 0;
  int showCommand = SW_SHOWNORMAL;
  std::string description;
};

// Saves a shortcut with the shell's own object; an empty field is not set.
HRESULT SaveWithShell(const LinkFields& fields, const std::filesystem::path& file) {
  ComPtr<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid());
  if (FAILED(hr)) return hr;
  if (FAILED(hr = link->SetPath(Wide(fields.path).c_str()))) return hr;
  if (!fields.arguments.empty() && FAILED(hr = link->SetArguments(Wide(fields.arguments).c_str()))) return hr;
  if (!fields.workingDir.empty() && FAILED(hr = link->SetWorkingDirectory(Wide(fields.workingDir).c_str()))) return hr;
  if (!fields.iconPath.empty() && FAILED(hr = link->SetIconLocation(Wide(fields.iconPath).c_str(), fields.iconIndex))) {
    return hr;
  }
  if (!fields.description.empty() && FAILED(hr = link->SetDescription(Wide(fields.description).c_str()))) return hr;
  if (FAILED(hr = link->SetShowCmd(fields.showCommand))) return hr;
  ComPtr<IPersistFile> persist;
  if (FAILED(hr = link->QueryInterface(IID_IPersistFile, persist.OutVoid()))) return hr;
  return persist->Save(file.wstring().c_str(), TRUE);
}

// Loads a shortcut with the shell's own object, reading it only: no Resolve, no icon.
HRESULT LoadWithShell(const std::filesystem::path& file, LinkFields& fields) {
  ComPtr<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IPersistFile> persist;
  if (FAILED(hr = link->QueryInterface(IID_IPersistFile, persist.OutVoid()))) return hr;
  if (FAILED(hr = persist->Load(file.wstring().c_str(), STGM_READ))) return hr;
  // GetArguments truncates silently to its buffer: one that holds any count.
  std::vector<wchar_t> buffer(70000, L'\0');
  const int size = static_cast<int>(buffer.size());
  if (link->GetPath(buffer.data(), size, nullptr, SLGP_RAWPATH) == S_OK) fields.path = Narrow(buffer.data());
  buffer[0] = L'\0';
  link->GetArguments(buffer.data(), size);
  fields.arguments = Narrow(buffer.data());
  buffer[0] = L'\0';
  link->GetWorkingDirectory(buffer.data(), size);
  fields.workingDir = Narrow(buffer.data());
  buffer[0] = L'\0';
  link->GetIconLocation(buffer.data(), size, &fields.iconIndex);
  fields.iconPath = Narrow(buffer.data());
  buffer[0] = L'\0';
  link->GetDescription(buffer.data(), size);
  fields.description = Narrow(buffer.data());
  link->GetShowCmd(&fields.showCommand);
  return S_OK;
}

// The targets and ID list items the reader found, for a failure message.
std::string Found(const Shortcut& link) {
  std::string found = "targets:";
  for (const StatedTarget& target : link.targets) {
    found += " [" + std::string(TargetPlaceText(target.place)) + ": " + target.path + "]";
  }
  found += " items:";
  for (const IdListItem& item : link.idList) found += " [" + item.name + " / " + item.primaryName + "]";
  return found;
}

bool StatesTarget(const Shortcut& link, std::string_view path) {
  for (const StatedTarget& target : link.targets) {
    if (SamePath(target.path, path)) return true;
  }
  return false;
}

void ExpectNulCounted(const ShortcutString& field, const char* what) {
  if (field.present) {
    EXPECT_TRUE(field.countedNul) << what << ": Wine 8 counts a trailing NUL";
  }
}

TEST(ShortcutsUnderWine, ReaderReadsWhatTheShellObjectWrites) {
  ComScope com;
  ASSERT_TRUE(com.Ok());
  ScratchFolder scratch;
  const std::filesystem::path folder = scratch.Path() / L"Holiday Photos";
  std::filesystem::create_directories(folder);
  const std::filesystem::path document = folder / L"report 2024.pdf";
  const std::filesystem::path unicode = scratch.Path() / Wide("\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE2\x98\x83.txt");
  WriteAll(document, Bytes{'%', 'P', 'D', 'F'});
  WriteAll(unicode, Bytes{'x'});

  const std::string padded = "/c start a.vbs" + std::string(1500, ' ') + "&start explorer Docs&exit";
  const struct {
    const char* what;
    LinkFields fields;
  } cases[] = {
      {"the worm's link",
       {"C:\\windows\\system32\\cmd.exe", "/c start a.vbs&start explorer My\" \"Photos&exit", "",
        "C:\\windows\\system32\\shell32.dll", 3, SW_SHOWMINNOACTIVE, ""}},
      {"a file in a folder with blanks",
       {Narrow(document.wstring()), "", Narrow(folder.wstring()), "", 0, SW_SHOWNORMAL, "Report"}},
      {"a folder", {Narrow(folder.wstring()), "", "", "", 0, SW_SHOWMAXIMIZED, ""}},
      {"a Unicode name", {Narrow(unicode.wstring()), "", "", "", 0, SW_SHOWNORMAL, "\xE2\x98\x83"}},
      {"arguments padded with 1,500 blanks",
       {"C:\\windows\\system32\\cmd.exe", padded, "", "", 0, SW_SHOWMINNOACTIVE, ""}},
      {"arguments of 30,000 characters", {"C:\\windows\\system32\\cmd.exe", std::string(30000, 'x'), "", "", 0, 1, ""}},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::filesystem::path file = scratch.Path() / ("case" + std::to_string(index++) + ".lnk");
    ASSERT_EQ(SaveWithShell(c.fields, file), S_OK) << c.what;
    const Bytes bytes = ReadAll(file);
    const Shortcut link = ReadShortcut(bytes);
    ASSERT_FALSE(link.Damaged()) << c.what << ": " << link.damageText;
    EXPECT_TRUE(StatesTarget(link, c.fields.path)) << c.what << ": " << Found(link);
    EXPECT_FALSE(link.targetsDisagree) << c.what << ": " << Found(link);
    EXPECT_EQ(link.arguments.text, c.fields.arguments) << c.what;
    EXPECT_EQ(link.workingDir.text, c.fields.workingDir) << c.what;
    EXPECT_EQ(link.iconLocation.text, c.fields.iconPath) << c.what;
    EXPECT_EQ(link.iconIndex, c.fields.iconIndex) << c.what;
    EXPECT_EQ(link.showCommand, static_cast<std::uint32_t>(c.fields.showCommand)) << c.what;
    EXPECT_EQ(link.name.text, c.fields.description) << c.what;
    EXPECT_EQ(link.bytesUsed, bytes.size()) << c.what;
    ExpectNulCounted(link.arguments, c.what);
    ExpectNulCounted(link.workingDir, c.what);
    ExpectNulCounted(link.iconLocation, c.what);
    ExpectNulCounted(link.name, c.what);
  }
}

TEST(ShortcutsUnderWine, ShellObjectReadsTheTestWritersLinksAsTheReaderDoes) {
  ComScope com;
  ASSERT_TRUE(com.Ok());
  ScratchFolder scratch;
  ShortcutWriter worm;
  worm.IdListPath("C:\\windows\\system32\\cmd.exe")
      .LinkInfoLocal("C:\\windows\\system32\\cmd.exe", "", true, 3)
      .Arguments("/c start a.vbs&start explorer Docs&exit")
      .IconLocation("C:\\windows\\system32\\shell32.dll")
      .IconIndex(3)
      .ShowCommand(kShowMinNoActive);
  ShortcutWriter linkInfoOnly;
  linkInfoOnly.LinkInfoLocal("C:\\windows\\system32\\wscript.exe").Arguments("//B \"E:\\x y.vbs\"").WorkingDir("E:\\");
  ShortcutWriter wineCounts;
  wineCounts.NulCounted().LinkInfoLocal("C:\\windows\\notepad.exe").Arguments("E:\\a.txt").Name("notes");
  ShortcutWriter padded;
  padded.LinkInfoLocal("C:\\windows\\system32\\cmd.exe")
      .Arguments("/c start a.vbs" + std::string(1500, ' ') + "&start explorer Docs");
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {{"the worm's link", worm.Bytes()},
               {"a LinkInfo-only link", linkInfoOnly.Bytes()},
               {"NUL-counted strings", wineCounts.Bytes()},
               {"arguments padded with 1,500 blanks", padded.Bytes()}};
  int index = 0;
  for (const auto& c : cases) {
    const std::filesystem::path file = scratch.Path() / ("ours" + std::to_string(index++) + ".lnk");
    WriteAll(file, c.bytes);
    const Shortcut ours = ReadShortcut(c.bytes);
    ASSERT_FALSE(ours.Damaged()) << c.what << ": " << ours.damageText;
    LinkFields shell;
    ASSERT_EQ(LoadWithShell(file, shell), S_OK) << c.what;
    ASSERT_FALSE(ours.targets.empty()) << c.what;
    EXPECT_TRUE(SamePath(ours.targets.front().path, shell.path)) << c.what << ": " << shell.path;
    EXPECT_EQ(ours.arguments.text, shell.arguments) << c.what;
    EXPECT_EQ(ours.workingDir.text, shell.workingDir) << c.what;
    EXPECT_EQ(ours.iconLocation.text, shell.iconPath) << c.what;
    EXPECT_EQ(ours.name.text, shell.description) << c.what;
    if (!ours.iconLocation.text.empty()) {
      EXPECT_EQ(ours.iconIndex, shell.iconIndex) << c.what;
    }
  }
}

TEST(CommandLinesUnderWine, SplitAsCommandLineToArgvW) {
  for (const testing::ArgvCase& c : testing::kArgvCases) {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(Wide(c.commandLine).c_str(), &count);
    ASSERT_NE(argv, nullptr) << c.commandLine;
    std::vector<std::string> windows;
    for (int i = 0; i < count; ++i) windows.push_back(Narrow(argv[i]));
    ::LocalFree(argv);
    EXPECT_EQ(windows, std::vector<std::string>(c.argv.begin(), c.argv.end())) << c.commandLine;
    EXPECT_EQ(CommandLineToArgv(c.commandLine), windows) << c.commandLine;
  }
}

TEST(CommandLinesUnderWine, ExpandAsExpandEnvironmentStrings) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TW_FOO", L"F"));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TW_PATHX", L"P"));
  ::SetEnvironmentVariableW(L"TW_NOPE", nullptr);
  const Environment environment = {{"TW_FOO", "F"}, {"TW_PATHX", "P"}};
  for (const testing::ExpandCase& c : testing::kExpandCases) {
    wchar_t buffer[512] = {};
    ASSERT_GT(::ExpandEnvironmentStringsW(Wide(c.text).c_str(), buffer, 512), 0u) << c.text;
    EXPECT_EQ(Narrow(buffer), c.expanded) << c.text;
    EXPECT_EQ(ExpandEnvironment(c.text, environment), Narrow(buffer)) << c.text;
  }
}

}  // namespace
}  // namespace tidewick::readers
