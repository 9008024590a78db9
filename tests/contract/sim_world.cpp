// The contract world of the simulated platform: a simulated computer with a scratch drive T:,
// a system drive C: holding the current folder and the profile folder, and nothing on Q:.
#include "tests/contract/contract_world.h"

#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace tidewick::contract {
namespace {

constexpr const char* kScratchKey = "Software\\TidewickContractTest";
constexpr const char* kCurrentFolder = "C:\\Work";
constexpr const char* kProfileFolder = "C:\\Users\\contract";
constexpr const char* kProgramFolder = "C:\\Programs";

class SimHeldEntry final : public HeldEntry {
 public:
  SimHeldEntry(sim::SimulatedPlatform& os, std::string path) : os_(os), path_(std::move(path)) {
    os_.LockEntry(path_);
  }
  ~SimHeldEntry() override {
    if (os_.Exists(path_)) os_.LockEntry(path_, false);
  }

 private:
  sim::SimulatedPlatform& os_;  // borrowed from the world
  std::string path_;
};

class SimWorld final : public ContractWorld {
 public:
  SimWorld() {
    os_.AddDrive('C');
    os_.AddFolder(kCurrentFolder);
    os_.SetCurrentFolder(kCurrentFolder);
    os_.AddFolder(kProfileFolder);
    os_.SetProfileFolder(kProfileFolder);
    os_.AddFolder(kProgramFolder);
    os_.AddFolder("C:\\Windows\\System32");
    os_.AddDrive('T');
  }

  PlatformOperations& Os() override { return os_; }

  std::string ScratchRoot() override { return "T:\\"; }
  std::string UnmappedRoot() override { return "Q:\\"; }

  void MakeFile(std::string_view relativePath, std::uint32_t attributes,
                std::string_view content) override {
    // A new file carries the archive bit, as on a real volume.
    os_.AddFile(Scratch(relativePath), attributes | Attr::Archive);
    os_.SetFileContent(Scratch(relativePath), content);
  }
  void MakeFolder(std::string_view relativePath, std::uint32_t attributes) override {
    os_.AddFolder(Scratch(relativePath), attributes);
  }
  std::optional<std::uint32_t> Attributes(std::string_view relativePath) override {
    return os_.AttributesOf(Scratch(relativePath));
  }
  std::unique_ptr<HeldEntry> HoldOpen(std::string_view relativePath) override {
    return std::make_unique<SimHeldEntry>(os_, Scratch(relativePath));
  }
  std::optional<std::string> FileContent(std::string_view relativePath) override {
    return os_.FileContent(Scratch(relativePath));
  }
  std::string ClipboardText() override { return os_.ClipboardText(); }

  std::string ScratchKey() override { return kScratchKey; }
  void WriteRawValue(std::string_view relativeKey, std::string_view valueName,
                     const RawValue& value) override {
    os_.SetRegistryValue(Root::CurrentUser, Key(relativeKey), valueName,
                         sim::RegistryValue::Bytes(value.type, value.bytes));
  }
  std::optional<RawValue> ReadRawValue(std::string_view relativeKey,
                                       std::string_view valueName) override {
    const auto value = os_.RegistryValueAt(Root::CurrentUser, Key(relativeKey), valueName);
    if (!value) return std::nullopt;
    return RawValue{value->type, value->data};
  }
  bool KeyExists(std::string_view relativeKey) override {
    return os_.RegistryKeyExists(Root::CurrentUser, Key(relativeKey));
  }

  std::uint32_t StartProcess(std::string_view exeName) override {
    // Each process gets a folder of its own, so that names may repeat.
    const std::string image =
        std::string(kProgramFolder) + "\\" + std::to_string(++imageCount_) + "\\" + std::string(exeName);
    os_.AddFile(image);
    const std::uint32_t pid = os_.StartProcess(exeName, image);
    commandLines_[pid] = "\"" + image + "\"";  // started without arguments
    return pid;
  }
  bool IsRunning(std::uint32_t pid) override { return os_.IsRunning(pid); }
  std::string ImageOf(std::uint32_t pid) override {
    for (const sim::ProcessInfo& process : os_.Processes()) {
      if (process.pid == pid) return process.imagePath;
    }
    ADD_FAILURE() << "no process " << pid;
    return {};
  }

  bool SwapScratchMedium() override {
    os_.EjectMedium('T', "scratch");
    os_.InsertNewMedium('T', 0x0BADF00Du);
    return true;
  }
  void PutBackScratchMedium() override {
    os_.EjectMedium('T', "other");
    os_.InsertMedium('T', "scratch");
  }

  std::string CurrentFolder() override { return kCurrentFolder; }
  void PutInCurrentFolder(std::string_view name) override {
    os_.AddFile(std::string(kCurrentFolder) + "\\" + std::string(name));
  }
  void InstallKillTool() override { PutInCurrentFolder("pskill.exe"); }

  std::string ExpectedProfileFolder() override { return kProfileFolder; }

  void SetVariable(std::string_view name, std::string_view value) override {
    os_.SetVariable(name, std::string(value));
  }
  bool Has32BitView() override { return true; }
  // The simulated registry keeps the 32-bit view where 64-bit Windows keeps it.
  void WriteMachineValue(bool view32, std::string_view valueName, const RawValue& value) override {
    os_.SetRegistryValue(Root::LocalMachine, MachineKey(view32), valueName,
                         sim::RegistryValue::Bytes(value.type, value.bytes));
  }
  std::optional<RawValue> ReadMachineValue(bool view32, std::string_view valueName) override {
    const auto value = os_.RegistryValueAt(Root::LocalMachine, MachineKey(view32), valueName);
    if (!value) return std::nullopt;
    return RawValue{value->type, value->data};
  }
  std::uint32_t StartProcessWithArguments(std::string_view exeName, std::string_view arguments) override {
    const std::string image =
        std::string(kProgramFolder) + "\\" + std::to_string(++imageCount_) + "\\" + std::string(exeName);
    os_.AddFile(image);
    const std::string line = "\"" + image + "\" " + std::string(arguments);
    const std::uint32_t pid = os_.StartProcess(exeName, image, line);
    commandLines_[pid] = line;
    return pid;
  }
  std::string CommandLineOf(std::uint32_t pid) override { return commandLines_.at(pid); }

 private:
  std::string Scratch(std::string_view relativePath) const {
    return "T:\\" + std::string(relativePath);
  }
  std::string Key(std::string_view relativeKey) const {
    std::string key = kScratchKey;
    if (!relativeKey.empty()) key += "\\" + std::string(relativeKey);
    return key;
  }

  static std::string MachineKey(bool view32) {
    return view32 ? "Software\\WOW6432Node\\TidewickContractTest" : "Software\\TidewickContractTest";
  }

  sim::SimulatedPlatform os_;
  unsigned imageCount_ = 0;
  std::map<std::uint32_t, std::string> commandLines_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() { return std::make_unique<SimWorld>(); }

}  // namespace tidewick::contract
