// The drive cleaner when the stick under a letter is changed after the scan, end to end: the
// real tidewick.exe under Wine, worked through its window only. X: is scanned; then another
// "stick" is put under X: (Wine's mount manager points the letter at another folder, whose
// .windows-serial gives it a volume serial number of its own: tests/support/wine_drives.h).
// Delete and Refresh must then change nothing on it and say so; with the scanned stick back,
// Delete cleans it.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/tidewick_app.h"
#include "tests/support/wine_drives.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kVirusFrame = "Select file to delete: (VIRUS)";
const std::string kRoot = "X:\\";
const std::string kAnotherDevice =
    "The device in X:\\ is not the one that was scanned. Nothing has been changed. Scan it first.";

void MakeFile(const std::string& path, DWORD attributes) {
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, "stick\r\n", 7, &written, nullptr);
  CloseHandle(file);
  if (attributes != 0) ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes)) << path;
}

bool Exists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

using app::ExpectBox;
using app::LineTexts;

// Puts the scanned stick back under X: however the test ends.
struct FirstStickBack {
  std::string folder;
  ~FirstStickBack() {
    if (!folder.empty()) wine::DefineUnixDrive(L'X', folder);
  }
};

TEST(DriveCleanerSwap, AnotherStickUnderTheLetterIsNotTouchedAndTheScannedOneIsCleanedWhenBack) {
  // The first stick is the folder run-scenario.sh maps to X:. The mount manager is told of it,
  // so that the serial number it keeps for X: is this folder's.
  FirstStickBack back{wine::UnixFolderOfDrive(L'X')};
  ASSERT_FALSE(back.folder.empty()) << "X: is no Wine drive link (run through run-scenario.sh under Wine)";
  ASSERT_TRUE(wine::DefineUnixDrive(L'X', back.folder));
  MakeFile(kRoot + "autorun.inf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  MakeFile(kRoot + "Photos.lnk", FILE_ATTRIBUTE_HIDDEN);

  // The second stick: the same names, and a serial number of its own.
  const std::string second = env::MakeWorkFolder("second-stick");
  MakeFile(second + "\\autorun.inf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  MakeFile(second + "\\Photos.lnk", FILE_ATTRIBUTE_HIDDEN);
  DWORD firstSerial = 0;
  ASSERT_TRUE(GetVolumeInformationW(L"X:\\", nullptr, 0, &firstSerial, nullptr, nullptr, nullptr, 0));
  char serial[16];
  wsprintfA(serial, "%08lx\n", firstSerial ^ 0x5A5A5A5Aul);
  {
    const HANDLE file = CreateFileW(Wide(second + "\\.windows-serial").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, serial, 9, &written, nullptr);
    CloseHandle(file);
  }
  const std::string secondOnLinux = wine::LinuxPathOf(Wide(second));
  ASSERT_FALSE(secondOnLinux.empty());

  app::Running tidewick = app::Start(app::MakeFolder(true));
  const DWORD pid = tidewick.process.Id();
  tidewick.main.Click("Pen Drive");
  Window rd = WaitForWindow(app::kPenDriveTitle, pid);
  rd.ComboBox("Select Device").Choose(kRoot);
  WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");
  rd.Click("Scan", "Select Device");
  ExpectBox(pid, "Are you sure to scan this device(" + kRoot + ")?", "Yes");
  ExpectBox(pid, "Scan complete. Delete file that you don't know.", "OK");
  Control virus = rd.CheckList(kVirusFrame);
  WaitFor([&] { return LineTexts(virus.Lines()) == std::set<std::string>{"autorun.inf", "Photos.lnk"}; },
          "the virus list of the first stick");

  // The other stick under X:.
  ASSERT_TRUE(wine::DefineUnixDrive(L'X', secondOnLinux));
  DWORD nowSerial = 0;
  ASSERT_TRUE(GetVolumeInformationW(L"X:\\", nullptr, 0, &nowSerial, nullptr, nullptr, nullptr, 0));
  ASSERT_NE(nowSerial, firstSerial);

  rd.Click("Delete", "Main");
  ExpectBox(pid, "Are you sure to delete this file(s)?", "Yes");
  ExpectBox(pid, kAnotherDevice, "OK", "drive-cleaner-another-stick");
  rd.Click("Refresh", kVirusFrame);
  ExpectBox(pid, kAnotherDevice, "OK");
  EXPECT_TRUE(Exists(second + "\\autorun.inf"));
  EXPECT_TRUE(Exists(second + "\\Photos.lnk"));
  EXPECT_EQ(GetFileAttributesW(Wide(second + "\\Photos.lnk").c_str()) & FILE_ATTRIBUTE_HIDDEN,
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(LineTexts(virus.Lines()), (std::set<std::string>{"autorun.inf", "Photos.lnk"}));

  // The scanned stick back: Delete cleans it.
  ASSERT_TRUE(wine::DefineUnixDrive(L'X', back.folder));
  rd.Click("Delete", "Main");
  ExpectBox(pid, "Are you sure to delete this file(s)?", "Yes");
  ExpectBox(pid, "Delete complete!", "OK");
  EXPECT_FALSE(Exists(kRoot + "autorun.inf"));
  EXPECT_FALSE(Exists(kRoot + "Photos.lnk"));
  EXPECT_TRUE(Exists(second + "\\autorun.inf"));

  app::BackToMainAndExit(rd, tidewick);
}

}  // namespace
}  // namespace tidewick::e2e
