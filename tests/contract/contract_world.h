// The world around a platform under contract test.
//
// One GoogleTest suite (platform_contract_tests.cpp) checks what the program relies on of
// PlatformOperations. It runs twice: natively against the simulated platform (sim_world.cpp)
// and under Wine against the Win32 platform (a Win32 world). A world gives the suite the
// platform under test plus everything the suite needs to arrange a situation and to look at
// the outcome WITHOUT asking the platform under test: a scratch drive, a scratch registry key,
// processes, and the current folder.
//
// Conventions for every world:
// - Text is UTF-8; a name holding an unpaired UTF-16 surrogate is given in WTF-8 (the lone
//   surrogate in its three-byte form, U+D800 as ED A0 80), as the platform hands it over.
//   Paths of scratch entries are given relative to ScratchRoot(), with
//   backslashes and no leading backslash: "sub\a.txt", "বাংলা.txt", "trail.", "com1.txt".
//   A world must handle such names itself (for Win32: "\\?\" paths or the Linux side).
// - Each test makes a fresh world through MakeContractWorld(). When the constructor returns,
//   the scratch drive is empty, the scratch registry key does not exist, the current folder
//   holds no "pskill.exe", and no process the world started earlier is running. The destructor
//   ends the processes it started and releases every entry it holds open.
// - A world operation that cannot do its work fails the test (ADD_FAILURE or an exception):
//   it never silently does nothing.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::contract {

// The attribute bits that both platforms report alike and that the suite compares. The archive
// bit is left out: Wine reports every plain file as archived, even after attributes 128.
inline constexpr std::uint32_t kComparedAttributes =
    Attr::ReadOnly | Attr::Hidden | Attr::System |
    Attr::Directory;

// A registry value as stored. For the text types (RegType::Sz, RegType::ExpandSz, RegType::MultiSz) the bytes
// are UTF-8 with exactly the NULs they contain (none for a value stored without terminator);
// a Win32 world stores and reads their UTF-16 form. Other types are raw bytes.
struct RawValue {
  std::uint32_t type = RegType::None;
  std::vector<std::uint8_t> bytes;
};

// Holds an entry open the way another program would, so that deleting it fails. Releasing
// (destroying) the object closes it again.
class HeldEntry {
 public:
  virtual ~HeldEntry() = default;
};

class ContractWorld {
 public:
  virtual ~ContractWorld() = default;

  // The platform under test. Owned by the world.
  virtual PlatformOperations& Os() = 0;

  // ---- Drives and entries ----
  // A drive root mapped to a scratch folder, in the form "T:\" (letter, colon, backslash).
  virtual std::string ScratchRoot() = 0;
  // A drive root whose letter is not mapped to anything, such as "Q:\".
  virtual std::string UnmappedRoot() = 0;
  // Creates a file (with `content`) or a folder below the scratch root; missing parent folders
  // are created plain. `attributes` is any combination of Attr::ReadOnly, _HIDDEN and
  // _SYSTEM (0 for a plain entry).
  virtual void MakeFile(std::string_view relativePath, std::uint32_t attributes = 0,
                        std::string_view content = "contract") = 0;
  virtual void MakeFolder(std::string_view relativePath, std::uint32_t attributes = 0) = 0;
  // The entry's attributes as the file system holds them, read without the platform under test;
  // nullopt when the entry does not exist. Folders carry Attr::Directory. The suite
  // compares only kComparedAttributes.
  virtual std::optional<std::uint32_t> Attributes(std::string_view relativePath) = 0;
  // Whether Attributes() reports hidden plus system on a FOLDER. Wine's GetFileAttributesW shows
  // such a folder as 0x10 although its user.DOSATTRIB attribute holds 0x6; a world that reads
  // through Win32 answers false here, and the suite then leaves out the checks of hidden plus
  // system on folders. A world that reads the extended attribute from Linux answers true.
  virtual bool SeesHiddenSystemOnFolders() { return true; }
  // Whether the file system can hold a name with an unpaired surrogate. NTFS and the
  // simulation can; Wine keeps file names as UTF-8 on Linux and refuses such a name, so its
  // world answers false and the suite leaves those file checks to the simulation.
  virtual bool HoldsUnpairedSurrogateFileNames() { return true; }
  // Keeps the entry open (no sharing of delete) until the returned object is destroyed.
  virtual std::unique_ptr<HeldEntry> HoldOpen(std::string_view relativePath) = 0;
  // A file's bytes as the file system holds them, read without the platform under test;
  // nullopt when there is no such file.
  virtual std::optional<std::string> FileContent(std::string_view relativePath) = 0;

  // ---- Clipboard ----
  // The text on the clipboard, read without the platform under test (empty when it holds none).
  virtual std::string ClipboardText() = 0;

  // ---- Registry ----
  // The scratch key under Root::CurrentUser, "Software\TidewickContractTest". It does not exist
  // when a test starts. Sub-keys below are given as "a\b" relative to it ("" for the key itself).
  virtual std::string ScratchKey() = 0;
  // Writes a value exactly as given (creating the key and its missing parents), without the
  // platform under test: a RegType::Sz without terminating NUL, RegType::ExpandSz, RegType::Binary, ...
  virtual void WriteRawValue(std::string_view relativeKey, std::string_view valueName,
                             const RawValue& value) = 0;
  // Reads a value without the platform under test; nullopt when the key or value is missing.
  virtual std::optional<RawValue> ReadRawValue(std::string_view relativeKey,
                                               std::string_view valueName) = 0;
  virtual bool KeyExists(std::string_view relativeKey) = 0;

  // ---- Processes ----
  // Starts a long-running, harmless process whose executable file is named `exeName`
  // ("tw-contract-a.exe"); answers its process id. The process runs until it is ended.
  virtual std::uint32_t StartProcess(std::string_view exeName) = 0;
  // Whether the process is still running, asked without the platform under test.
  virtual bool IsRunning(std::uint32_t pid) = 0;
  // The full path of the program file that the world started process `pid` from.
  virtual std::string ImageOf(std::uint32_t pid) = 0;

  // ---- Media ----
  // Takes the medium out of the scratch drive and puts another one in its place, as a person
  // swaps one stick for another: the scratch letter then reaches none of the entries made
  // before, and the medium has a volume serial number of its own. PutBackScratchMedium()
  // returns the first medium to the letter. False when the world cannot swap media (the suite
  // then skips the check and says why).
  virtual bool SwapScratchMedium() = 0;
  virtual void PutBackScratchMedium() = 0;

  // ---- Current folder ----
  // The absolute path of the current folder of the platform under test (no trailing
  // backslash). It is not the folder of the test program, and it holds no "pskill.exe" when a
  // test starts.
  virtual std::string CurrentFolder() = 0;
  // Puts a small plain file named `name` into the current folder.
  virtual void PutInCurrentFolder(std::string_view name) = 0;
  // Puts the kill tool into the current folder as "pskill.exe", so that
  // "cmd /c pskill <pid>" ends process <pid>.
  virtual void InstallKillTool() = 0;

  // ---- Profile ----
  // The profile folder the platform should report (no trailing backslash), as the world knows
  // it independently; empty when the world cannot tell (the suite then checks only that the
  // answer names an existing folder).
  virtual std::string ExpectedProfileFolder() { return {}; }

  // ---- The environment, drive types, the registry's 32-bit view, command lines ----
  // Sets a variable of the environment that the platform under test reads; the world puts
  // back what was there before when it goes.
  virtual void SetVariable(std::string_view name, std::string_view value) = 0;
  // The type the scratch drive has, as the world mapped it (DriveType::Fixed unless it says
  // otherwise).
  virtual std::uint32_t ScratchDriveType() { return DriveType::Fixed; }
  // Whether the registry has a 32-bit view apart from the native one (64-bit Windows).
  virtual bool Has32BitView() = 0;
  // Writes and reads a value of the machine's scratch key, Root::LocalMachine
  // "Software\TidewickContractTest", in the native view or in the 32-bit one, without the
  // platform under test. The key does not exist in either view when a test starts, and the
  // world deletes both when it goes.
  virtual void WriteMachineValue(bool view32, std::string_view valueName, const RawValue& value) = 0;
  virtual std::optional<RawValue> ReadMachineValue(bool view32, std::string_view valueName) = 0;
  // As StartProcess, with `arguments` after the program's quoted path on its command line.
  virtual std::uint32_t StartProcessWithArguments(std::string_view exeName, std::string_view arguments) = 0;
  // The whole command line the world started process `pid` with.
  virtual std::string CommandLineOf(std::uint32_t pid) = 0;
};

// Defined once per platform: sim_world.cpp, and the Win32 world.
std::unique_ptr<ContractWorld> MakeContractWorld();

}  // namespace tidewick::contract
