// The Win32 platform beyond the shared contract suite: how paths and text cross the boundary,
// the registry's UTF-16 storage seen as UTF-8, long paths, the handle tables, the process
// record, the message pump and the single-instance test. Checks look at the outcome with plain
// Win32 calls where they can.
#include "platform/win32/win32_platform.h"

#include "platform/win32/snapshot_retry.h"
#include "platform/win32/win32_text.h"
#include "tests/support/win32_files.h"

#include <tlhelp32.h>
// tlhelp32.h renames these to their W forms under UNICODE; the platform's own are meant here.
#undef PROCESSENTRY32
#undef Process32First
#undef Process32Next

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace tidewick::win32 {
namespace {

constexpr Handle kCurrentUser = 0x80000001u;
constexpr const wchar_t* kTestKey = L"Software\\TidewickWin32PlatformTest";
const std::string kTestKeyUtf8 = "Software\\TidewickWin32PlatformTest";

// বাংলা and 中文, and an emoji outside the basic plane (a surrogate pair in UTF-16).
const std::string kBengali = "\xE0\xA6\xAC\xE0\xA6\xBE\xE0\xA6\x82\xE0\xA6\xB2\xE0\xA6\xBE";
const std::string kChinese = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kEmoji = "\xF0\x9F\x98\x80";

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp, length);
}

// A file the build made. Under Wine the build folder is a Linux path, reachable through Wine's
// "\\?\unix" prefix; a Windows path is used as it is.
std::wstring BuiltFile(const char* built) {
  std::wstring path = Widen(built);
  if (path.empty() || path[0] != L'/') return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return L"\\\\?\\unix" + path;
}

// ---- Text and paths ----

TEST(Win32Text, Utf8AndUtf16RoundTrip) {
  const std::string cases[] = {"", "plain", kBengali + ".txt", kChinese, kEmoji,
                               std::string("a\0b\0", 4)};
  for (const std::string& text : cases) {
    EXPECT_EQ(Narrow(Widen(text)), text);
  }
  EXPECT_EQ(Widen(kEmoji).size(), 2u);  // one surrogate pair
  EXPECT_EQ(Widen(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

// Names on Windows may hold unpaired surrogates; each one has its own three-byte form, so a
// name comes back to the very units it was listed with, and never meets its U+FFFD namesake.
TEST(Win32Text, UnpairedSurrogatesSurviveBothWays) {
  const struct {
    std::wstring wide;
    std::string narrow;
  } cases[] = {
      {L"a\xD800z.lnk", "a\xED\xA0\x80z.lnk"},                      // a lead alone
      {L"\xDFFF", "\xED\xBF\xBF"},                                   // a trail alone
      {L"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80"},                 // trail before lead
      {L"x\xDBFF", "x\xED\xAF\xBF"},                                 // a lead at the end
      {L"\xD83D\xDE00\xD83D", "\xF0\x9F\x98\x80\xED\xA0\xBD"},       // a pair, then a lead
      {L"a\xFFFDz.lnk", "a\xEF\xBF\xBDz.lnk"},                       // the namesake stays apart
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Narrow(c.wide), c.narrow);
    EXPECT_EQ(Widen(c.narrow), c.wide);
  }
  EXPECT_NE(Narrow(L"a\xD800z.lnk"), Narrow(L"a\xFFFDz.lnk"));
}

TEST(Win32Text, BytesThatStartNoSequenceBecomeReplacementCharacters) {
  const struct {
    std::string narrow;
    std::wstring wide;
  } cases[] = {
      {"A\xFFZ", L"A\xFFFDZ"},                  // never part of UTF-8
      {"\x80", L"\xFFFD"},                      // a continuation without its lead
      {"a\xC3", L"a\xFFFD"},                    // cut short at the end
      {"\xC1\x81", L"\xFFFD\xFFFD"},            // overlong "A"
      {"\xE0\x81\x81", L"\xFFFD\xFFFD\xFFFD"},  // overlong three-byte form
      {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},  // beyond U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Widen(c.narrow), c.wide) << c.narrow;
  }
}

TEST(Win32Text, DrivePathsGetTheLiteralPrefixRelativeNamesStayAsTheyAre) {
  const struct {
    const char* path;
    const wchar_t* expected;
  } cases[] = {
      {"E:\\autorun.inf", L"\\\\?\\E:\\autorun.inf"},
      {"E:\\", L"\\\\?\\E:\\"},
      {"e:/Photos/a.jpg", L"\\\\?\\e:\\Photos\\a.jpg"},
      {"E:\\trail.", L"\\\\?\\E:\\trail."},                // trailing dot kept
      {"E:\\space ", L"\\\\?\\E:\\space "},                // trailing space kept
      {"E:\\con", L"\\\\?\\E:\\con"},                      // device name taken literally
      {"E:\\...", L"\\\\?\\E:\\..."},                      // not a parent reference
      {"E:\\a\\\\b", L"\\\\?\\E:\\a\\b"},                  // repeated separator folded
      {"E:\\a\\.\\b\\..\\c", L"\\\\?\\E:\\a\\c"},          // . and .. resolved here
      {"E:\\..\\x", L"\\\\?\\E:\\x"},                      // no way above the root
      {"E:\\dir\\", L"\\\\?\\E:\\dir\\"},                  // a trailing separator stays
      {"E:\\dir\\*", L"\\\\?\\E:\\dir\\*"},                // listing patterns
      {"pskill.exe", L"pskill.exe"},                       // bare name: current folder
      {"sub\\x.txt", L"sub\\x.txt"},                       // relative
      {"\\\\?\\E:\\x.", L"\\\\?\\E:\\x."},                 // already literal
      {"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FilePath(c.path), c.expected) << c.path;
  }
}

// Sets the process's current folder for a test and puts the previous one back.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::wstring& folder) {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    previous_.assign(size, L'\0');
    previous_.resize(::GetCurrentDirectoryW(size, previous_.data()));
    EXPECT_TRUE(::SetCurrentDirectoryW(folder.c_str())) << ::GetLastError();
  }
  ~CurrentFolderScope() { ::SetCurrentDirectoryW(previous_.c_str()); }
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

  // The current folder as Windows reports it (no trailing backslash but at a root).
  static std::wstring Now() {
    std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder;
  }

 private:
  std::wstring previous_;
};

// Root-relative, drive-relative and UNC paths get the same literal form as "E:\..." paths:
// the first two are completed from the current folder and the drive's own current folder (the
// "=Q:" variable of the environment), then names are taken as they are.
TEST(Win32Text, EveryOtherAbsoluteFormGetsTheLiteralPrefixToo) {
  const CurrentFolderScope scope(TempFolder());
  const std::wstring here = CurrentFolderScope::Now();
  ASSERT_GE(here.size(), 4u);  // a folder below a drive root, such as "C:\...\Temp"
  const std::wstring drive = here.substr(0, 2);
  const std::wstring parent = here.substr(0, here.find_last_of(L'\\'));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"=Q:", L"Q:\\per drive"));

  const std::string driveUtf8 = Narrow(drive);
  const struct {
    std::string path;
    std::wstring expected;
  } cases[] = {
      {"\\name.", L"\\\\?\\" + drive + L"\\name."},                   // root-relative
      {"/a/../con", L"\\\\?\\" + drive + L"\\con"},
      {"\\", L"\\\\?\\" + drive + L"\\"},
      {driveUtf8 + "trail.", L"\\\\?\\" + here + L"\\trail."},       // this drive's folder
      {driveUtf8 + "..\\aux.lnk", L"\\\\?\\" + parent + L"\\aux.lnk"},
      {driveUtf8, L"\\\\?\\" + here + L"\\"},
      {"Q:space ", L"\\\\?\\Q:\\per drive\\space "},                   // another drive's folder
      {"\\\\server\\share\\x.", L"\\\\?\\UNC\\server\\share\\x."},     // UNC
      {"//server/share/a/../con", L"\\\\?\\UNC\\server\\share\\con"},
      {"\\\\server\\share\\..\\..\\x", L"\\\\?\\UNC\\server\\share\\x"},  // never above the share
      {"\\\\server\\share", L"\\\\?\\UNC\\server\\share"},
      {"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share\\"},
      {"\\\\server", L"\\\\server"},                                  // no share: as given
      {"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},                          // a device path: as given
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FilePath(c.path), c.expected) << c.path;
  }
  ::SetEnvironmentVariableW(L"=Q:", nullptr);
}

// ---- Registry ----

class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

  // The value's stored form, read without the platform.
  static std::vector<BYTE> Stored(const std::wstring& name, DWORD& type) {
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    if (::RegGetValueW(HKEY_CURRENT_USER, kTestKey, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                       &type, data.data(), &size) != ERROR_SUCCESS) {
      return {};
    }
    data.resize(size);
    return data;
  }

  static std::vector<BYTE> Utf16Bytes(const std::wstring& text) {
    std::vector<BYTE> bytes(text.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
  }

  Win32Platform os;
};

TEST_F(Win32Registry, TextIsStoredAsUtf16ExactlyAsGiven) {
  Handle key = 0;
  ASSERT_EQ(os.RegCreateKeyA(kCurrentUser, kTestKeyUtf8, key), ERROR_SUCCESS);
  const std::string withNul = kBengali + kEmoji + std::string(1, '\0');
  const std::string withoutNul = kChinese;
  EXPECT_EQ(os.RegSetValueExA(key, kChinese, 0, REG_SZ, withNul.data(),
                              static_cast<std::uint32_t>(withNul.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(os.RegSetValueExA(key, "bare", 0, REG_SZ, withoutNul.data(),
                              static_cast<std::uint32_t>(withoutNul.size())),
            ERROR_SUCCESS);
  os.RegCloseKey(key);

  DWORD type = 0;
  EXPECT_EQ(Stored(Widen(kChinese), type), Utf16Bytes(Widen(withNul)));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  // No terminator is added to a text given without one.
  EXPECT_EQ(Stored(L"bare", type), Utf16Bytes(Widen(withoutNul)));
}

TEST_F(Win32Registry, SizesAreCountedInUtf8Bytes) {
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &raw, nullptr),
            ERROR_SUCCESS);
  const std::wstring multi = Widen(kBengali) + L'\0' + Widen(kEmoji) + L'\0' + L'\0';
  const std::vector<BYTE> multiBytes = Utf16Bytes(multi);
  ASSERT_EQ(::RegSetValueExW(raw, L"multi", 0, REG_MULTI_SZ, multiBytes.data(),
                             static_cast<DWORD>(multiBytes.size())),
            ERROR_SUCCESS);
  ::RegCloseKey(raw);

  Handle key = 0;
  ASSERT_EQ(os.RegOpenKeyA(kCurrentUser, kTestKeyUtf8, key), ERROR_SUCCESS);
  const std::string expected = kBengali + '\0' + kEmoji + '\0' + '\0';
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(os.RegQueryValueExA(key, "multi", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(size, expected.size());  // 15 + 1 + 4 + 1 + 1 bytes, not the 20 UTF-16 bytes

  // Too small a buffer answers the size needed.
  std::uint32_t smallSize = 4;
  char small[4];
  EXPECT_EQ(os.RegQueryValueExA(key, "multi", &type, small, &smallSize), ERROR_MORE_DATA);
  EXPECT_EQ(smallSize, expected.size());

  // Enumeration: the data length too small answers the length needed.
  char name[16];
  std::uint8_t data[4];
  std::uint32_t nameLength = sizeof name;
  std::uint32_t dataLength = sizeof data;
  EXPECT_EQ(os.RegEnumValueA(key, 0, name, nameLength, &type, data, dataLength), ERROR_MORE_DATA);
  EXPECT_EQ(dataLength, expected.size());
  os.RegCloseKey(key);
}

TEST_F(Win32Registry, HandlesAreSmallDistinctNumbersClosedOnce) {
  Handle first = 0;
  Handle second = 0;
  ASSERT_EQ(os.RegCreateKeyA(kCurrentUser, kTestKeyUtf8 + "\\a", first), ERROR_SUCCESS);
  // An open key serves as the root of another open.
  ASSERT_EQ(os.RegCreateKeyA(first, "b\\c", second), ERROR_SUCCESS);
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_LT(first, 0x80000000u);
  EXPECT_LT(second, 0x80000000u);

  HKEY raw = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kTestKey) + L"\\a\\b\\c").c_str(), 0,
                            KEY_READ, &raw),
            ERROR_SUCCESS);
  ::RegCloseKey(raw);

  EXPECT_EQ(os.RegCloseKey(second), ERROR_SUCCESS);
  EXPECT_NE(os.RegCloseKey(second), ERROR_SUCCESS);  // already closed
  const std::uint32_t one = 1;
  EXPECT_NE(os.RegSetValueExA(second, "v", 0, REG_DWORD, &one, 4), ERROR_SUCCESS);
  EXPECT_EQ(os.RegCloseKey(first), ERROR_SUCCESS);
  // The roots themselves close harmlessly.
  EXPECT_EQ(os.RegCloseKey(kCurrentUser), ERROR_SUCCESS);
}

TEST_F(Win32Registry, AFailedCreateLeavesTheHandleZero) {
  Handle key = 0x55;
  // A key path may not begin with a backslash.
  EXPECT_NE(os.RegCreateKeyA(kCurrentUser, "\\" + kTestKeyUtf8, key), ERROR_SUCCESS);
  EXPECT_EQ(key, 0u);
  key = 0x55;
  EXPECT_NE(os.RegCreateKeyA(0x12345, "x", key), ERROR_SUCCESS);  // no such root
  EXPECT_EQ(key, 0u);
}

// The registry as Windows itself reads it. A 32-bit build runs on 64-bit Windows under WoW64,
// where HKEY_LOCAL_MACHINE\Software has a 32-bit copy of its own (Wow6432Node) that would take
// its place: what the platform creates, writes, reads and deletes is in the native view all
// the same, as the autostart places and policies must be. Checked through each view with the
// plain calls. The same holds for the 64-bit build; the 32-bit suite runs under WoW64 (a
// 64-bit Wine prefix), which the first check makes sure of.
class Win32RegistryView : public ::testing::Test {
 protected:
  static constexpr Handle kLocalMachine = 0x80000002u;
  static constexpr const wchar_t* kKey = L"Software\\TidewickNativeViewTest";

  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, view, 0);
    }
  }

  // The DWORD `name` of the test key in `view`; nullopt when the key or the value is missing.
  static std::optional<DWORD> ValueIn(REGSAM view, const wchar_t* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    const LSTATUS status = ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
  }

  static void WriteIn(REGSAM view, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }

  Win32Platform os;
};

TEST_F(Win32RegistryView, CreatedWrittenReadAndDeletedInTheNativeView) {
#if !defined(_WIN64)
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  ASSERT_TRUE(wow64) << "the 32-bit suite runs on 64-bit Windows (WoW64), where the two views differ";
#endif
  // Created and written through the platform: in the native view, not in the 32-bit one.
  Handle key = 0;
  ASSERT_EQ(os.RegCreateKeyA(kLocalMachine, Narrow(kKey), key), ERROR_SUCCESS);
  const DWORD written = 64;
  EXPECT_EQ(os.RegSetValueExA(key, "written", 0, REG_DWORD, &written, sizeof written), ERROR_SUCCESS);
  EXPECT_EQ(os.RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(ValueIn(KEY_WOW64_64KEY, L"written"), std::optional<DWORD>(64));
  EXPECT_EQ(ValueIn(KEY_WOW64_32KEY, L"written"), std::nullopt);

  // Read through the platform, by each way of opening: the native view's value, where the
  // 32-bit view holds another under the same name.
  WriteIn(KEY_WOW64_64KEY, L"seen", 64);
  WriteIn(KEY_WOW64_32KEY, L"seen", 32);
  Handle opened = 0;
  Handle openedEx = 0;
  ASSERT_EQ(os.RegOpenKeyA(kLocalMachine, Narrow(kKey), opened), ERROR_SUCCESS);
  ASSERT_EQ(os.RegOpenKeyExA(kLocalMachine, Narrow(kKey), 0, KEY_QUERY_VALUE, openedEx), ERROR_SUCCESS);
  for (const Handle through : {opened, openedEx}) {
    DWORD read = 0;
    std::uint32_t size = sizeof read;
    EXPECT_EQ(os.RegQueryValueExA(through, "seen", nullptr, &read, &size), ERROR_SUCCESS);
    EXPECT_EQ(read, 64u);
    os.RegCloseKey(through);
  }

  // Deleted through the platform: the native key goes, the 32-bit copy stays.
  Handle software = 0;
  ASSERT_EQ(os.RegOpenKeyA(kLocalMachine, "Software", software), ERROR_SUCCESS);
  // The key has values but no sub-keys, so it may go.
  EXPECT_EQ(os.RegDeleteKeyA(software, "TidewickNativeViewTest"), ERROR_SUCCESS);
  os.RegCloseKey(software);
  EXPECT_EQ(ValueIn(KEY_WOW64_64KEY, L"seen"), std::nullopt);
  EXPECT_EQ(ValueIn(KEY_WOW64_32KEY, L"seen"), std::optional<DWORD>(32));
}

// ---- Files ----

// Removes a file or a folder with everything in it; `path` is in literal ("\\?\") form.
void RemoveAll(const std::wstring& path) { testsupport::RemoveTree(path); }

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder() + L"tidewick-win32-" + std::to_wstring(::GetCurrentProcessId());
    RemoveAll(L"\\\\?\\" + folder_);
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr)) << ::GetLastError();
  }
  void TearDown() override { RemoveAll(L"\\\\?\\" + folder_); }

  std::wstring folder_;
  Win32Platform os;
};

TEST_F(Win32Files, PathsLongerThanMaxPathWork) {
  std::wstring path = L"\\\\?\\" + folder_;
  for (int level = 0; level < 6; ++level) {
    path += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + level));
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << ::GetLastError();
  }
  const std::wstring file = path + L"\\deep.lnk";
  const HANDLE created = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_HIDDEN, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  ::CloseHandle(created);

  const std::string folder = Narrow(path.substr(4));  // as the program holds it
  ASSERT_GT(folder.size(), static_cast<std::size_t>(MAX_PATH));
  EXPECT_TRUE(os.PathFileExistsA(folder + "\\deep.lnk"));
  EXPECT_EQ(os.DirFirst(folder + "\\*.lnk", ListMask::All), "deep.lnk");
  EXPECT_TRUE(os.SetFileAttributesA(folder + "\\deep.lnk", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_TRUE(os.DeleteFileA(folder + "\\deep.lnk"));
  EXPECT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32Files, SlashesAndDotSegmentsReachTheSameEntry) {
  const std::wstring file = folder_ + L"\\x.txt";
  const HANDLE created =
      ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  ::CloseHandle(created);

  std::string folder = Narrow(folder_);
  std::string slashed = folder;
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  EXPECT_TRUE(os.PathFileExistsA(slashed + "/x.txt"));
  EXPECT_TRUE(os.PathFileExistsA(folder + "\\.\\x.txt"));
  EXPECT_TRUE(os.PathFileExistsA(folder + "\\nothing\\..\\x.txt"));
  EXPECT_FALSE(os.PathFileExistsA(folder + "\\x.txt\\"));  // a file is no folder
  EXPECT_TRUE(os.PathFileExistsA(folder + "\\"));
}

TEST_F(Win32Files, ListingTellsAMissingFolderFromAnEmptyMatch) {
  const std::string folder = Narrow(folder_);
  EXPECT_EQ(os.DirFirst(folder + "\\*.none", ListMask::All), "");
  EXPECT_FALSE(os.DirFailed());
  EXPECT_EQ(os.DirFirst(folder + "\\missing\\*", ListMask::All), "");
  EXPECT_TRUE(os.DirFailed());
  EXPECT_EQ(os.DirNext(), "");
}

// A share for the UNC form. Under Wine, \\server\share is the folder dosdevices\unc\server\share
// of the prefix, made here through Wine's "\\?\unix" view of Linux; on Windows it is the drive's
// administrative share \\localhost\C$, which may be switched off.
class TestShare {
 public:
  explicit TestShare(const std::wstring& localFolder) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixFileName) {
      program_ = L"\\\\localhost\\" + localFolder.substr(0, 1) + L"$" + localFolder.substr(2);
      literal_ = L"\\\\?\\UNC\\localhost\\" + localFolder.substr(0, 1) + L"$" + localFolder.substr(2);
      return;
    }
    // Wine answers ".../dosdevices/c:/" for the system drive.
    char* unixRoot = unixFileName(L"C:\\");
    std::string devices = unixRoot ? unixRoot : "";
    ::HeapFree(::GetProcessHeap(), 0, unixRoot);
    const std::string tail = "/dosdevices/c:/";
    if (devices.size() < tail.size() ||
        devices.compare(devices.size() - tail.size(), tail.size(), tail) != 0) {
      return;
    }
    devices.resize(devices.size() - 3);
    std::wstring unc = L"\\\\?\\unix" + Widen(devices) + L"unc";
    for (wchar_t& c : unc) {
      if (c == L'/') c = L'\\';
    }
    const std::wstring server = L"tidewick-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(unc.c_str(), nullptr);
    serverFolder_ = unc + L"\\" + server;
    if (!::CreateDirectoryW(serverFolder_.c_str(), nullptr) ||
        !::CreateDirectoryW((serverFolder_ + L"\\share").c_str(), nullptr)) {
      return;
    }
    program_ = L"\\\\" + server + L"\\share";
    literal_ = L"\\\\?\\UNC\\" + server + L"\\share";
  }
  ~TestShare() {
    if (!serverFolder_.empty()) {
      ::RemoveDirectoryW((serverFolder_ + L"\\share").c_str());
      ::RemoveDirectoryW(serverFolder_.c_str());
    }
  }
  TestShare(const TestShare&) = delete;
  TestShare& operator=(const TestShare&) = delete;

  bool Answers() const {
    return !literal_.empty() && ::GetFileAttributesW(literal_.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  const std::wstring& Program() const { return program_; }  // "\\server\share"
  const std::wstring& Literal() const { return literal_; }  // "\\?\UNC\server\share"

 private:
  std::wstring program_;
  std::wstring literal_;
  std::wstring serverFolder_;  // under Wine: the server's folder in dosdevices\unc
};

// A trailing dot, a trailing space and two device names, each reached through every absolute
// form other than "E:\...": root-relative, drive-relative and UNC. Windows' own clean-up would
// strip the dot and the space and turn "con" and "aux.lnk" into devices, so each call would
// miss the entry (or reach a device) without the literal form.
TEST_F(Win32Files, AwkwardNamesAreReachedThroughEveryAbsoluteForm) {
  const std::vector<std::wstring> names = {L"trail.", L"space ", L"con", L"aux.lnk"};
  const CurrentFolderScope scope(folder_);
  TestShare share(folder_);
  ASSERT_TRUE(share.Answers()) << "the UNC share " << Narrow(share.Program()) << " does not answer";

  const struct {
    const char* form;
    std::wstring literalFolder;  // where the entries lie, as the test reaches them
    std::string prefix;          // what the program puts before a name
  } forms[] = {
      {"root-relative", L"\\\\?\\" + folder_, Narrow(folder_.substr(2)) + "\\"},
      {"drive-relative", L"\\\\?\\" + folder_, Narrow(folder_.substr(0, 2))},
      {"UNC", share.Literal(), Narrow(share.Program()) + "\\"},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.form);
    for (const std::wstring& name : names) {
      const HANDLE created = ::CreateFileW((form.literalFolder + L"\\" + name).c_str(), GENERIC_WRITE,
                                           0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
      ASSERT_NE(created, INVALID_HANDLE_VALUE) << Narrow(name) << " " << ::GetLastError();
      ::CloseHandle(created);
    }
    std::vector<std::string> listed;
    for (std::string name = os.DirFirst(form.prefix + "*", ListMask::All); !name.empty();
         name = os.DirNext()) {
      if (name != "." && name != "..") listed.push_back(name);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"aux.lnk", "con", "space ", "trail."}));

    for (const std::wstring& name : names) {
      const std::string path = form.prefix + Narrow(name);
      const std::wstring literal = form.literalFolder + L"\\" + name;
      SCOPED_TRACE(path);
      EXPECT_TRUE(os.PathFileExistsA(path));
      EXPECT_TRUE(os.SetFileAttributesA(path, Attr::Normal));
      EXPECT_EQ(::GetFileAttributesW(literal.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
      EXPECT_TRUE(os.DeleteFileA(path));
      EXPECT_EQ(::GetFileAttributesW(literal.c_str()), INVALID_FILE_ATTRIBUTES);
      EXPECT_FALSE(os.PathFileExistsA(path));
      ::DeleteFileW(literal.c_str());  // nothing is left for the next form, whatever failed
    }
  }
}

// ---- Processes and the profile ----

TEST(Win32Processes, TheSnapshotShowsThisProgramAndRefusesAnUnsizedRecord) {
  Win32Platform os;
  const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
  ASSERT_NE(snapshot, 0u);

  tidewick::ProcessEntry32 unsized;
  EXPECT_FALSE(os.Process32First(snapshot, unsized));

  tidewick::ProcessEntry32 entry;
  entry.dwSize = ProcessEntry32::kAnsiSize;
  std::string ownName;
  for (bool more = os.Process32First(snapshot, entry); more; more = os.Process32Next(snapshot, entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) ownName = entry.szExeFile;
  }
  EXPECT_EQ(ownName, "win32_platform_tests.exe");

  EXPECT_TRUE(os.CloseHandle(snapshot));
  EXPECT_FALSE(os.CloseHandle(snapshot));
  EXPECT_FALSE(os.Process32First(snapshot, entry));
}

// A snapshot that fails with ERROR_BAD_LENGTH (modules loading meanwhile) is taken again, a
// bounded number of times; any other failure counts at once. Neither Windows nor Wine fails so
// on demand, so the snapshot call is given to TakeSnapshot as a script of answers: failures
// with a chosen error, then the real CreateToolhelp32Snapshot.
TEST(Win32Processes, ASnapshotThatFailsForAMomentIsTakenAgain) {
  const struct {
    const char* what;
    int failures;   // attempts that fail before the real call is made
    DWORD error;    // the reason they give
    int calls;      // attempts TakeSnapshot makes
    bool taken;     // whether it answers a snapshot
  } cases[] = {
      {"no failure", 0, ERROR_BAD_LENGTH, 1, true},
      {"modules loading twice", 2, ERROR_BAD_LENGTH, 3, true},
      {"modules loading up to the last attempt", kSnapshotAttempts - 1, ERROR_BAD_LENGTH,
       kSnapshotAttempts, true},
      {"modules loading for too long", kSnapshotAttempts + 5, ERROR_BAD_LENGTH, kSnapshotAttempts,
       false},
      {"another reason", 3, ERROR_ACCESS_DENIED, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int calls = 0;
    const HANDLE snapshot = TakeSnapshot([&] {
      if (++calls <= c.failures) {
        ::SetLastError(c.error);
        return INVALID_HANDLE_VALUE;
      }
      return ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    });
    const DWORD error = ::GetLastError();
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(snapshot != INVALID_HANDLE_VALUE, c.taken);
    if (snapshot != INVALID_HANDLE_VALUE) {
      ::CloseHandle(snapshot);
    } else {
      EXPECT_EQ(error, c.error);  // the reason of the last failure is kept
    }
  }
}

TEST(Win32Processes, TheProfileFolderNeedsRoomForItsUtf8FormAndTerminator) {
  Win32Platform os;
  Handle token = 0;
  ASSERT_TRUE(os.OpenProcessToken(os.GetCurrentProcess(), TOKEN_QUERY, token));

  std::string buffer(255, '\0');
  std::uint32_t size = 255;
  ASSERT_TRUE(os.GetUserProfileDirectoryA(token, buffer, size));
  const std::string folder = buffer.substr(0, buffer.find('\0'));
  EXPECT_EQ(size, folder.size() + 1);

  // Exactly one byte short: refused, the size needed is told, the buffer is left alone.
  std::string tight(folder.size(), 'x');
  std::uint32_t tightSize = static_cast<std::uint32_t>(folder.size());
  EXPECT_FALSE(os.GetUserProfileDirectoryA(token, tight, tightSize));
  EXPECT_EQ(tightSize, folder.size() + 1);
  EXPECT_EQ(tight, std::string(folder.size(), 'x'));

  EXPECT_TRUE(os.CloseHandle(token));
  // Only this process's pseudo-handle opens a token.
  Handle other = 0x77;
  EXPECT_FALSE(os.OpenProcessToken(0x1234, TOKEN_QUERY, other));
  EXPECT_EQ(other, 0u);
}

TEST(Win32Program, AppExeNameIsTheFileNameWithoutFolderOrExtension) {
  Win32Platform os;
  EXPECT_EQ(os.AppExeName(), "win32_platform_tests");
}

TEST(Win32Program, StartCommandLineRunsTheCommandWithoutWaiting) {
  Win32Platform os;
  const std::wstring made =
      TempFolder() + L"tidewick-started-" + std::to_wstring(::GetCurrentProcessId());
  ::RemoveDirectoryW(made.c_str());
  os.StartCommandLine("cmd /c mkdir \"" + Narrow(made) + "\"", ShowCommand::MinimizedNoFocus);
  bool appeared = false;
  for (int i = 0; i < 200 && !appeared; ++i) {
    appeared = ::GetFileAttributesW(made.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!appeared) ::Sleep(50);
  }
  EXPECT_TRUE(appeared);
  ::RemoveDirectoryW(made.c_str());
}

// The interpreter the platform starts is the system's native cmd.exe, from the 32-bit build
// under WoW64 too (where System32 would lead to the 32-bit copy in SysWOW64): the cmd.exe that
// "cmd /c <sleeper>" starts is found among this program's children; its image is the cmd.exe of
// the system folder as a 64-bit program sees it, and it does not run under WoW64.
TEST(Win32Program, TheInterpreterIsTheNativeCmdOfTheSystemFolder) {
  const std::wstring sleeperName = L"tidewick-interpreter-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring sleeper = TempFolder() + sleeperName;
  ASSERT_TRUE(::CopyFileW(BuiltFile(TW_SLEEPER_EXE).c_str(), sleeper.c_str(), FALSE)) << ::GetLastError();
  Win32Platform os;
  os.StartCommandLine("cmd /c \"" + Narrow(sleeper) + "\" 30000", ShowCommand::MinimizedNoFocus);

  // The child cmd.exe of this program, and the sleeper it started.
  DWORD interpreterId = 0;
  DWORD sleeperId = 0;
  for (int attempt = 0; attempt < 400 && sleeperId == 0; ++attempt) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::vector<PROCESSENTRY32W> processes;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
      processes.push_back(entry);
    }
    ::CloseHandle(snapshot);
    for (const PROCESSENTRY32W& process : processes) {
      if (process.th32ParentProcessID == ::GetCurrentProcessId() && ::_wcsicmp(process.szExeFile, L"cmd.exe") == 0) {
        interpreterId = process.th32ProcessID;
      }
    }
    for (const PROCESSENTRY32W& process : processes) {
      if (interpreterId != 0 && process.th32ParentProcessID == interpreterId) sleeperId = process.th32ProcessID;
    }
    if (sleeperId == 0) ::Sleep(50);
  }
  ASSERT_NE(interpreterId, 0u) << "no cmd.exe started by this program";

  const HANDLE interpreter = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, interpreterId);
  ASSERT_NE(interpreter, nullptr) << ::GetLastError();
  wchar_t image[MAX_PATH] = {};
  DWORD chars = MAX_PATH;
  EXPECT_TRUE(::QueryFullProcessImageNameW(interpreter, 0, image, &chars)) << ::GetLastError();
  wchar_t system[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(::_wcsicmp(image, (std::wstring(system, length) + L"\\cmd.exe").c_str()), 0) << Narrow(image);
  BOOL interpreterUnderWow64 = TRUE;
  EXPECT_TRUE(::IsWow64Process(interpreter, &interpreterUnderWow64));
  EXPECT_FALSE(interpreterUnderWow64) << "the 32-bit cmd.exe of SysWOW64 ran";

  // Every copy of the sleeper goes, also one the interpreter started after the search gave up.
  ::TerminateProcess(interpreter, 1);
  if (const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0); snapshot != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
      if (::_wcsicmp(entry.szExeFile, sleeperName.c_str()) != 0) continue;
      if (const HANDLE started = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
        ::TerminateProcess(started, 1);
        ::WaitForSingleObject(started, 5000);
        ::CloseHandle(started);
      }
    }
    ::CloseHandle(snapshot);
  }
  ::WaitForSingleObject(interpreter, 5000);
  ::CloseHandle(interpreter);
  for (int attempt = 0; attempt < 50 && !::DeleteFileW(sleeper.c_str()); ++attempt) ::Sleep(100);
}

// ---- The kill tool ----

// Starts `application` with `arguments` in `folder`, without a window; null when it cannot.
HANDLE StartProgram(const std::wstring& application, const std::wstring& arguments,
                    const std::wstring& folder) {
  std::wstring line = L"\"" + application + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &started)) {
    return nullptr;
  }
  ::CloseHandle(started.hThread);
  return started.hProcess;
}

// The names of the files "*.ran" in `folder`: the marks the planted programs left.
std::vector<std::string> MarkersIn(const std::wstring& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE listing = ::FindFirstFileW((folder + L"\\*.ran").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(Narrow(found.cFileName));
  } while (::FindNextFileW(listing, &found));
  ::FindClose(listing);
  return names;
}

// The program is often started from the infected stick, and as administrator: a cmd.exe planted
// beside it or in the current folder, or a pskill.com, pskill.bat or pskill.cmd that cmd would
// take before pskill.exe, must never run in place of the real ones. Here a starter program hands
// a sleeping process to the kill tool with the program's command line, from a folder that holds
// such planted programs beside it, into a current folder that holds them too besides the real
// pskill.exe. Each planted program leaves "<its path>.ran" when it runs. The current folder is
// named plainly, then with characters cmd would read as its own (a space, &, ^, ! and a %PATH%
// it would expand).
class Win32KillTool : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(Win32KillTool, OnlyTheSystemInterpreterAndTheTestedPskillRun) {
  const std::wstring root =
      TempFolder() + L"tidewick-kill-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring beside = root + L"\\program";
  const std::wstring current = root + L"\\" + GetParam();
  const std::wstring elsewhere = root + L"\\elsewhere";
  RemoveAll(L"\\\\?\\" + root);
  for (const std::wstring& folder : {root, beside, current, elsewhere}) {
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << ::GetLastError();
  }
  const struct {
    const char* built;
    std::wstring copy;
  } copies[] = {
      {TW_KILL_STARTER_EXE, beside + L"\\tidewick.exe"},
      {TW_MARKER_EXE, beside + L"\\cmd.exe"},
      {TW_MARKER_EXE, beside + L"\\pskill.com"},
      {TW_MARKER_EXE, beside + L"\\pskill.exe"},  // not the one the program tested
      {TW_MARKER_EXE, current + L"\\cmd.exe"},
      {TW_MARKER_EXE, current + L"\\pskill.com"},
      {TW_PSKILL_EXE, current + L"\\pskill.exe"},
      {TW_SLEEPER_EXE, elsewhere + L"\\tw-kill-victim.exe"},
  };
  for (const auto& c : copies) {
    ASSERT_TRUE(::CopyFileW(BuiltFile(c.built).c_str(), c.copy.c_str(), FALSE))
        << Narrow(c.copy) << " " << ::GetLastError();
  }
  for (const std::wstring& folder : {beside, current}) {
    for (const wchar_t* script : {L"\\pskill.bat", L"\\pskill.cmd"}) {
      const std::wstring path = folder + script;
      const std::string text = "@echo ran> \"" + Narrow(path) + ".ran\"\r\n";
      const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
      DWORD written = 0;
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      ::CloseHandle(file);
    }
  }

  const HANDLE victim = StartProgram(elsewhere + L"\\tw-kill-victim.exe", L"60000", elsewhere);
  ASSERT_NE(victim, nullptr) << ::GetLastError();
  const HANDLE starter =
      StartProgram(beside + L"\\tidewick.exe", std::to_wstring(::GetProcessId(victim)), current);
  ASSERT_NE(starter, nullptr) << ::GetLastError();
  EXPECT_EQ(::WaitForSingleObject(starter, 20000), WAIT_OBJECT_0);
  ::CloseHandle(starter);

  // The real cmd.exe ran the real pskill.exe: the sleeper ends, and no planted program ran.
  EXPECT_EQ(::WaitForSingleObject(victim, 20000), WAIT_OBJECT_0) << "the sleeper still runs";
  ::Sleep(500);  // a planted program started instead would have left its mark by now
  EXPECT_EQ(MarkersIn(beside), std::vector<std::string>{});
  EXPECT_EQ(MarkersIn(current), std::vector<std::string>{});

  ::TerminateProcess(victim, 1);
  ::WaitForSingleObject(victim, 5000);
  ::CloseHandle(victim);
  // The kill tool and its interpreter may take a moment to let go of the folder.
  for (int attempt = 0; attempt < 50; ++attempt) {
    RemoveAll(L"\\\\?\\" + root);
    if (::GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    ::Sleep(100);
  }
}

INSTANTIATE_TEST_SUITE_P(CurrentFolders, Win32KillTool,
                         ::testing::Values(L"current", L"cur rent & 50%PATH% ^!"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& param) {
                           return param.index == 0 ? "Plain" : "SpecialToCmd";
                         });

// ---- The message pump ----

class Win32Pump : public ::testing::Test {
 protected:
  static LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
      dispatched.push_back(static_cast<int>(wParam));
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  void SetUp() override {
    dispatched.clear();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Receive;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TidewickPumpTest";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, L"TidewickPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    ::DestroyWindow(window_);
    MSG leftover;
    while (::PeekMessageW(&leftover, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  static inline std::vector<int> dispatched;
  HWND window_ = nullptr;
  Win32Platform os;
};

TEST_F(Win32Pump, DoEventsDispatchesWhatTheFilterLeaves) {
  std::vector<int> filtered;
  os.SetMessageFilter([&](MSG& message) {
    if (message.message != WM_APP) return false;
    filtered.push_back(static_cast<int>(message.wParam));
    return message.wParam == 2;  // the filter handles this one itself
  });
  for (WPARAM n : {1, 2, 3}) ::PostMessageW(window_, WM_APP, n, 0);

  os.DoEvents();

  EXPECT_EQ(filtered, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(dispatched, (std::vector<int>{1, 3}));
  MSG left;
  EXPECT_FALSE(::PeekMessageW(&left, nullptr, 0, 0, PM_NOREMOVE));

  // Without a filter every message is dispatched.
  os.SetMessageFilter({});
  ::PostMessageW(window_, WM_APP, 4, 0);
  os.DoEvents();
  EXPECT_EQ(dispatched, (std::vector<int>{1, 3, 4}));
}

TEST_F(Win32Pump, DoEventsLeavesTheQuitRequestForTheMainLoop) {
  ::PostMessageW(window_, WM_APP, 1, 0);
  ::PostQuitMessage(5);
  os.DoEvents();
  EXPECT_EQ(dispatched, std::vector<int>{1});
  MSG quit;
  ASSERT_TRUE(::PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(quit.wParam, 5u);
}

TEST_F(Win32Pump, WaitForEventsReturnsWhenAMessageArrivesAndProcessesNothing) {
  ::PostMessageW(window_, WM_APP, 7, 0);
  const DWORD start = ::GetTickCount();
  os.WaitForEvents(60000);
  EXPECT_LT(::GetTickCount() - start, 30000u);  // woken by the message, not by the minute
  EXPECT_TRUE(dispatched.empty());
  os.DoEvents();
  EXPECT_EQ(dispatched, std::vector<int>{7});
}

// ---- Single instance ----

constexpr UINT kChildPassed = 42;

// Run in a child process by the test below, with the expected answer in the environment.
TEST(Win32Instance, ChildReportsPrevInstance) {
  wchar_t expected[8] = {};
  if (!::GetEnvironmentVariableW(L"TIDEWICK_EXPECT_PREV_INSTANCE", expected, 8)) {
    GTEST_SKIP() << "runs only as the child of PrevInstanceSeesAnotherInstance";
  }
  Win32Platform os;
  EXPECT_EQ(os.PrevInstance(), expected[0] == L'1');
  EXPECT_EQ(os.PrevInstance(), expected[0] == L'1');  // the first answer stays
  // A distinctive exit code proves to the parent that this test really ran and passed.
  ::ExitProcess(::testing::Test::HasFailure() ? 1 : kChildPassed);
}

// This test program as the build made it (Wine's own module name for it, a Linux path, cannot
// be started again).
std::wstring ThisProgram() { return BuiltFile(TIDEWICK_THIS_PROGRAM); }

DWORD RunChild(const wchar_t* expected) {
  const std::wstring self = ThisProgram();
  ::SetEnvironmentVariableW(L"TIDEWICK_EXPECT_PREV_INSTANCE", expected);
  std::wstring line = L"child --gtest_filter=Win32Instance.ChildReportsPrevInstance";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  const BOOL ok = ::CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &started);
  ::SetEnvironmentVariableW(L"TIDEWICK_EXPECT_PREV_INSTANCE", nullptr);
  if (!ok) {
    ADD_FAILURE() << "cannot start the child, error " << ::GetLastError();
    return 0xDEAD;
  }
  DWORD exitCode = 0xDEAD;
  EXPECT_EQ(::WaitForSingleObject(started.hProcess, 60000), WAIT_OBJECT_0);
  ::GetExitCodeProcess(started.hProcess, &exitCode);
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return exitCode;
}

TEST(Win32Instance, PrevInstanceSeesAnotherInstance) {
  // Alone: no other instance.
  EXPECT_EQ(RunChild(L"0"), kChildPassed);
  // While this process holds the program's mutex, the child sees an instance before it.
  const HANDLE held = ::CreateMutexW(nullptr, FALSE, L"Local\\Tidewick.SingleInstance");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(RunChild(L"1"), kChildPassed);
  ::CloseHandle(held);
}

}  // namespace
}  // namespace tidewick::win32
