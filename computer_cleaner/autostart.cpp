// Every autostart place: the judgement of an entry and the survey that gathers them.
#include "computer_cleaner/autostart.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "readers/paths.h"
#include "readers/shortcut.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <map>
#include <span>
#include <utility>

namespace tidewick::autostart {
namespace {

using readers::CommandAnalysis;
using readers::Environment;
using readers::HostKind;
using readers::StartReason;

// Whether `path` is `folder` itself or lies below it, both compared as paths.
bool IsAtOrBelow(std::string_view path, std::string_view folder) {
  if (folder.empty()) return false;
  const std::string key = readers::PathKey(path);
  std::string base = readers::PathKey(folder);
  if (key == base) return true;
  if (base.back() != '\\') base += '\\';
  return key.size() > base.size() && key.compare(0, base.size(), base) == 0;
}

// "C:" of "C:\x\y"; empty for a path without a drive letter.
std::string DriveOf(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    return std::string(path.substr(0, 2));
  }
  return {};
}

bool HasExtension(std::string_view file, std::initializer_list<std::string_view> extensions) {
  const std::string name = LowerCase(readers::FileNameOf(file));
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](std::string_view extension) { return EndsWith(name, extension); });
}

bool IsScriptFile(std::string_view file) {
  return HasExtension(file, {".vbs", ".vbe", ".js", ".jse", ".wsf", ".wsh", ".hta"});
}
bool IsLibraryFile(std::string_view file) { return HasExtension(file, {".dll", ".ocx", ".cpl"}); }
bool IsBatchFile(std::string_view file) { return HasExtension(file, {".bat", ".cmd"}); }

std::string_view ReasonText(Location location) {
  switch (location) {
    case Location::Temp:
      return "in the temporary folder";
    case Location::Profile:
      return "in the profile folder";
    case Location::SystemTemp:
      return "in C:\\Temp";
    case Location::Removable:
      return "on a removable drive";
    case Location::DriveRoot:
      return "in the root of a drive";
    case Location::Windows:
      return "under the Windows folder";
    case Location::ProgramFiles:
      return "under a Program Files folder";
    case Location::Elsewhere:
    case Location::Unknown:
      break;
  }
  return {};
}

}  // namespace

// ---- The judgement ----------------------------------------------------------------------------

bool IsWormPlace(Location location) {
  switch (location) {
    case Location::Temp:
    case Location::Profile:
    case Location::SystemTemp:
    case Location::Removable:
    case Location::DriveRoot:
      return true;
    case Location::Windows:
    case Location::ProgramFiles:
    case Location::Elsewhere:
    case Location::Unknown:
      break;
  }
  return false;
}

Location Locate(std::string_view file, std::uint32_t driveType, const Folders& folders) {
  if (file.empty() || !readers::IsAbsolutePath(file)) return Location::Unknown;
  if (IsAtOrBelow(file, folders.windows)) return Location::Windows;
  for (const std::string& programFiles : folders.programFiles) {
    if (IsAtOrBelow(file, programFiles)) return Location::ProgramFiles;
  }
  if (IsAtOrBelow(file, folders.temp)) return Location::Temp;
  if (IsAtOrBelow(file, folders.profile)) return Location::Profile;
  const std::string systemDrive = folders.windows.empty() ? std::string("C:") : DriveOf(folders.windows);
  if (!systemDrive.empty() && IsAtOrBelow(file, systemDrive + "\\Temp")) return Location::SystemTemp;
  if (driveType == DriveType::Removable) return Location::Removable;
  // "X:\name": the parent of the file is the root of its drive.
  const std::string key = readers::PathKey(file);
  if (key.size() > 3 && key[1] == ':' && key[2] == '\\' && key.find('\\', 3) == std::string::npos) {
    return Location::DriveRoot;
  }
  return Location::Elsewhere;
}

Judgement Judge(std::string_view file, bool exists, std::uint32_t driveType, const Folders& folders) {
  Judgement judgement;
  if (file.empty()) {
    judgement.dead = true;
    judgement.reason = "dead: it starts no file";
    return judgement;
  }
  judgement.location = Locate(file, driveType, folders);
  const std::string_view where = ReasonText(judgement.location);
  if (!exists) {
    judgement.dead = true;
    judgement.reason = "dead: the file does not exist";
    return judgement;
  }
  judgement.suspicious = IsWormPlace(judgement.location);
  if (judgement.suspicious) {
    judgement.reason = "suspicious: " + std::string(where);
  } else {
    judgement.reason = where.empty() ? std::string("not suspicious") : "not suspicious: " + std::string(where);
  }
  return judgement;
}

Runs RunsByExtension(std::string_view file) {
  if (IsScriptFile(file)) return Runs::ByScriptHost;
  if (IsLibraryFile(file)) return Runs::ByLibraryHost;
  if (IsBatchFile(file)) return Runs::ByCommandShell;
  return Runs::AsProgram;
}

bool RunsTheFile(const ProcessFacts& process, std::string_view file, Runs runs, const Environment& environment) {
  if (!readers::IsAbsolutePath(file)) return false;
  if (runs == Runs::AsProgram) return process.image && readers::SamePath(*process.image, file);
  // A host of the file's kind, known by its image (or, where that cannot be read, by the name
  // the snapshot gives), whose command line names the file by its full path.
  const HostKind wanted = runs == Runs::ByScriptHost    ? HostKind::ScriptHost
                          : runs == Runs::ByLibraryHost ? HostKind::LibraryHost
                                                        : HostKind::CommandShell;
  // regsvr32 /i: hands a script to a library: either host kind may run a script or a library.
  const HostKind host = readers::HostKindOf(process.image ? *process.image : process.exeName);
  const bool fits = host == wanted || (runs != Runs::ByCommandShell && (host == HostKind::ScriptHost ||
                                                                         host == HostKind::LibraryHost));
  if (!fits || !process.commandLine) return false;
  const CommandAnalysis analysis = readers::AnalyzeCommandLine(*process.commandLine, environment);
  return std::any_of(analysis.started.begin(), analysis.started.end(), [&](const readers::StartedFile& started) {
    return readers::IsAbsolutePath(started.path) && readers::SamePath(started.path, file);
  });
}

namespace {

// The items of a Winlogon value: its comma-separated commands, blanks around each removed,
// empty ones left out.
std::vector<std::string> WinlogonItems(std::string_view data) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= data.size()) {
    const std::size_t end = std::min(data.find(',', start), data.size());
    std::string_view item = data.substr(start, end - start);
    while (!item.empty() && IsBlank(item.front())) item.remove_prefix(1);
    while (!item.empty() && IsBlank(item.back())) item.remove_suffix(1);
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

// Whether `data` holds exactly one command, the program `folder`\`name` (or the bare name)
// without arguments.
bool IsOnlyProgram(std::string_view data, std::string_view folder, std::string_view name,
                   const Environment& environment) {
  const std::vector<std::string> items = WinlogonItems(readers::ExpandEnvironment(data, environment));
  if (items.size() != 1) return false;
  const readers::ProgramName program = readers::SplitProgramName(items.front());
  if (!program.arguments.empty()) return false;
  const std::string lowerName = LowerCase(program.name);
  if (lowerName == name) return true;
  return !folder.empty() && readers::SamePath(program.name, std::string(folder) + "\\" + std::string(name));
}

}  // namespace

bool IsDefaultShell(std::string_view data, const Environment& environment, std::string_view windows) {
  return IsOnlyProgram(data, windows, "explorer.exe", environment);
}

bool IsDefaultUserinit(std::string_view data, const Environment& environment, std::string_view windows) {
  const std::string system32 = windows.empty() ? std::string() : std::string(windows) + "\\system32";
  return IsOnlyProgram(data, system32, "userinit.exe", environment);
}

std::string DefaultShell() { return "explorer.exe"; }

std::string DefaultUserinit(std::string_view windows) {
  return std::string(windows.empty() ? std::string_view("C:\\Windows") : windows) + "\\system32\\userinit.exe,";
}

// ---- The survey -------------------------------------------------------------------------------

namespace {

constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr std::string_view kPoliciesRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
constexpr std::string_view kWinlogonKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// The root, as the place column names it.
std::string_view RootText(Handle root) { return root == Root::LocalMachine ? "HKLM" : "HKCU"; }

// What the survey learns from the computer once, and asks again per file.
class Surveyor {
 public:
  Surveyor(PlatformOperations& os, Function& fn, bool processes) : os_(os), withProcesses_(processes) {
    for (const std::string& entry : os_.GetEnvironmentStringsA()) {
      const std::size_t equals = entry.find('=', 1);
      if (equals == std::string::npos || entry.front() == '=') continue;
      survey_.environment.Set(entry.substr(0, equals), entry.substr(equals + 1));
    }
    Folders& folders = survey_.folders;
    folders.profile = fn.GetUserProfilePath();
    std::string temp;
    if (os_.GetTempPathA(temp)) {
      while (temp.size() > 3 && temp.back() == '\\') temp.pop_back();
      folders.temp = temp;
    }
    if (!os_.SHGetFolderPathA(SpecialFolder::Windows, folders.windows)) folders.windows = Variable("SystemRoot");
    // Program Files of either build, and the native one named by the environment (a 32-bit
    // build is told "Program Files (x86)" for both folders).
    for (const int folder : {SpecialFolder::ProgramFiles, SpecialFolder::ProgramFilesX86}) {
      std::string path;
      if (os_.SHGetFolderPathA(folder, path)) AddProgramFiles(path);
    }
    for (const char* name : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"}) AddProgramFiles(Variable(name));
    if (withProcesses_) ReadProcesses();
  }

  Survey Run() {
    // 64-bit Windows keeps the 32-bit view there; 32-bit Windows has none.
    const bool twoViews = static_cast<bool>(OpenKey(os_, Root::LocalMachine, "Software\\WOW6432Node").key);
    for (const Handle root : {Root::CurrentUser, Root::LocalMachine}) {
      for (const std::string_view key : {kRunKey, kRunOnceKey, kPoliciesRunKey}) RunKey(root, key, false);
    }
    if (twoViews) {
      for (const std::string_view key : {kRunKey, kRunOnceKey, kPoliciesRunKey}) RunKey(Root::LocalMachine, key, true);
    }
    std::string folder;
    if (os_.SHGetFolderPathA(SpecialFolder::Startup, folder)) StartupFolder(folder, "Startup");
    if (os_.SHGetFolderPathA(SpecialFolder::CommonStartup, folder)) StartupFolder(folder, "Startup (all users)");
    Winlogon(Root::LocalMachine);
    Winlogon(Root::CurrentUser);
    return std::move(survey_);
  }

 private:
  std::string Variable(std::string_view name) const {
    const std::string* value = survey_.environment.Find(name);
    return value != nullptr ? *value : std::string();
  }

  void AddProgramFiles(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (path.empty()) return;
    std::vector<std::string>& known = survey_.folders.programFiles;
    if (std::none_of(known.begin(), known.end(), [&](const std::string& p) { return readers::SamePath(p, path); })) {
      known.push_back(std::move(path));
    }
  }

  void ReadProcesses() {
    const Handle snapshot = os_.CreateToolhelp32Snapshot(Snapshot::All, 0);
    if (snapshot == 0) return;
    ProcessEntry32 entry;
    entry.dwSize = ProcessEntry32::kAnsiSize;
    for (bool more = os_.Process32First(snapshot, entry); more; more = os_.Process32Next(snapshot, entry)) {
      processes_.push_back(FactsOf(os_, entry));
    }
    os_.CloseHandle(snapshot);
  }

  // ---- Places ----

  void RunKey(Handle root, std::string_view keyPath, bool view32) {
    const std::uint32_t access = KeyAccess::Read | (view32 ? KeyAccess::View32 : 0);
    const KeyResult opened = OpenKeyEx(os_, root, keyPath, access);
    if (!opened.key) return;
    Place place;
    place.kind = Place::Kind::RegistryValue;
    place.root = root;
    place.keyPath = std::string(keyPath);
    place.view32 = view32;
    // The key's last part (after CurrentVersion) is enough to tell the places apart.
    constexpr std::string_view kVersion = "CurrentVersion\\";
    const std::string_view shortName = keyPath.substr(keyPath.find(kVersion) + kVersion.size());
    place.text = std::string(RootText(root)) + (view32 ? " (32-bit) " : " ") + std::string(shortName);
    ForEachValue(opened.key, [&](const RegValue& value) {
      if (value.type == RegType::Sz || value.type == RegType::ExpandSz) {
        AddCommandLine(place, value.name, value.Text());
      }
      return Visit::Next;
    });
  }

  void StartupFolder(const std::string& folder, std::string_view text) {
    Place place;
    place.kind = Place::Kind::StartupFile;
    place.folder = folder;
    place.text = std::string(text);
    for (const std::string& name : ListFolder(os_, folder + "\\*", ListMask::All).names) {
      const std::string path = folder + "\\" + name;
      FileAttributeData data;
      if (!os_.GetFileAttributesExA(path, data) || (data.attributes & Attr::Directory) != 0) continue;
      // Explorer keeps the folder's look in desktop.ini; it starts nothing.
      if (LowerCase(name) == "desktop.ini") continue;
      if (LowerCase(name).ends_with(".lnk")) {
        Shortcut(place, name, path);
      } else {
        Entry entry;
        entry.place = place;
        entry.name = name;
        entry.command = path;
        entry.runs = RunsByExtension(path);
        Settle(entry, path);
        survey_.entries.push_back(std::move(entry));
      }
    }
  }

  void Shortcut(const Place& place, const std::string& name, const std::string& path) {
    Entry entry;
    entry.place = place;
    entry.name = name;
    std::vector<std::uint8_t> bytes;
    if (!os_.ReadFileBytes(path, readers::kMaxShortcutBytes + 1, bytes)) {
      entry.command = "(the shortcut cannot be read)";
      entry.judgement = Judge({}, false, DriveType::Unknown, survey_.folders);
      survey_.entries.push_back(std::move(entry));
      return;
    }
    const readers::Shortcut link = readers::ReadShortcut(std::span<const std::uint8_t>(bytes), survey_.environment);
    if (link.Damaged()) {
      entry.command = "(a damaged shortcut: " + link.damageText + ")";
      entry.judgement = Judge({}, false, DriveType::Unknown, survey_.folders);
      survey_.entries.push_back(std::move(entry));
      return;
    }
    // Relative names resolve against the working folder, else the shortcut's own folder.
    const std::string base = link.workingDir.present && readers::IsAbsolutePath(link.workingDir.text)
                                 ? readers::ExpandEnvironment(link.workingDir.text, survey_.environment)
                                 : place.folder;
    const std::vector<CommandAnalysis> analyses = readers::AnalyzeShortcut(link, survey_.environment);
    std::vector<Candidate> candidates;
    for (const CommandAnalysis& analysis : analyses) {
      if (entry.command.empty()) {
        entry.command = analysis.program;
        if (!link.argumentsVisible.empty()) entry.command += " " + link.argumentsVisible;
      }
      AddCandidates(analysis, base, candidates);
    }
    Choose(entry, candidates);
    survey_.entries.push_back(std::move(entry));
  }

  void Winlogon(Handle root) {
    const KeyResult opened = OpenKeyEx(os_, root, kWinlogonKey, KeyAccess::Read);
    if (!opened.key) return;
    Place place;
    place.kind = Place::Kind::Winlogon;
    place.root = root;
    place.keyPath = std::string(kWinlogonKey);
    place.text = std::string(RootText(root)) + " Winlogon";
    std::vector<std::pair<std::string, std::string>> found;
    ForEachValue(opened.key, [&](const RegValue& value) {
      const std::string name = LowerCase(value.name);
      const bool wanted = name == "shell" || (name == "userinit" && root == Root::LocalMachine);
      if (wanted && (value.type == RegType::Sz || value.type == RegType::ExpandSz)) {
        found.emplace_back(value.name, value.Text());
      }
      return Visit::Next;
    });
    const std::string& windows = survey_.folders.windows;
    for (const auto& [name, data] : found) {
      const bool shell = LowerCase(name) == "shell";
      if (shell ? IsDefaultShell(data, survey_.environment, windows)
                : IsDefaultUserinit(data, survey_.environment, windows)) {
        continue;
      }
      // Each comma-separated item is a command.
      std::vector<Candidate> candidates;
      for (const std::string& item : WinlogonItems(data)) {
        AddCandidates(readers::AnalyzeCommandLine(item, survey_.environment), {}, candidates);
      }
      Entry entry;
      entry.place = place;
      entry.name = name;
      entry.command = data;
      Choose(entry, candidates);
      entry.judgement.reason = "not the Windows default; " + entry.judgement.reason;
      survey_.entries.push_back(std::move(entry));
    }
  }

  // ---- Files ----

  // A file a command may start, with how it runs.
  struct Candidate {
    std::string file;
    Runs runs = Runs::AsProgram;
  };

  void AddCommandLine(const Place& place, const std::string& name, const std::string& data) {
    Entry entry;
    entry.place = place;
    entry.name = name;
    entry.command = data;
    std::vector<Candidate> candidates;
    AddCandidates(readers::AnalyzeCommandLine(data, survey_.environment), {}, candidates);
    Choose(entry, candidates);
    survey_.entries.push_back(std::move(entry));
  }

  // The files an analysis starts, each resolved (a relative name against `base`, else the
  // system folders and the search path); a plain program also as the longer names
  // CreateProcess tries. A host given nothing starts the host itself.
  void AddCandidates(const CommandAnalysis& analysis, const std::string& base, std::vector<Candidate>& candidates) {
    for (const readers::StartedFile& started : analysis.started) {
      Runs runs = RunsByExtension(started.path);
      if (started.why == StartReason::Script) runs = Runs::ByScriptHost;
      if (started.why == StartReason::Library) runs = Runs::ByLibraryHost;
      if (runs == Runs::AsProgram && started.why == StartReason::Program) {
        candidates.push_back({ResolveProgram(started.path, base, analysis.programCandidates), runs});
      } else {
        candidates.push_back({Resolve(started.path, base), runs});
      }
    }
    if (analysis.started.empty() && !analysis.program.empty()) {
      candidates.push_back({ResolveProgram(analysis.program, base, {}), Runs::AsProgram});
    }
  }

  // The first existing file of `name` and the longer names, each also with ".exe" added when
  // it has no extension, as CreateProcess tries them; `name` resolved when none exists.
  std::string ResolveProgram(const std::string& name, const std::string& base, const std::vector<std::string>& longer) {
    std::vector<std::string> tries = {name};
    tries.insert(tries.end(), longer.begin(), longer.end());
    for (const std::string& attempt : tries) {
      for (const std::string& form : {attempt, attempt + ".exe"}) {
        if (form != attempt && readers::FileNameOf(attempt).find('.') != std::string_view::npos) continue;
        const std::string resolved = Resolve(form, base);
        if (Exists(resolved)) return resolved;
      }
    }
    return Resolve(name, base);
  }

  // An absolute name as it is; a relative one against `base` when given, else the first of
  // the system folder, the Windows folder and the search path's folders where it exists (the
  // name as it stands when none holds it).
  std::string Resolve(const std::string& name, const std::string& base) {
    if (name.empty() || readers::IsAbsolutePath(name)) return name;
    if (!base.empty()) return readers::JoinPath(base, name);
    std::vector<std::string> folders;
    const std::string& windows = survey_.folders.windows;
    if (!windows.empty()) {
      folders.push_back(windows + "\\System32");
      folders.push_back(windows);
    }
    const std::string path = Variable("Path");
    for (std::size_t start = 0; start < path.size();) {
      const std::size_t end = std::min(path.find(';', start), path.size());
      std::string folder = path.substr(start, end - start);
      if (readers::IsAbsolutePath(folder)) folders.push_back(std::move(folder));
      start = end + 1;
    }
    for (const std::string& folder : folders) {
      const std::string joined = readers::JoinPath(folder, name);
      if (Exists(joined)) return joined;
    }
    return name;
  }

  bool Exists(const std::string& file) {
    if (!readers::IsAbsolutePath(file)) return false;
    const auto known = exists_.find(readers::PathKey(file));
    if (known != exists_.end()) return known->second;
    const bool exists = os_.PathFileExistsA(file);
    exists_.emplace(readers::PathKey(file), exists);
    return exists;
  }

  std::uint32_t DriveTypeOf(const std::string& file) {
    const std::string drive = DriveOf(file);
    if (drive.empty()) return DriveType::Unknown;
    const std::string letter = LowerCase(drive);
    const auto known = driveTypes_.find(letter);
    if (known != driveTypes_.end()) return known->second;
    const std::uint32_t type = os_.GetDriveTypeA(drive + "\\");
    driveTypes_.emplace(letter, type);
    return type;
  }

  // Judges `file` for the entry and finds the processes that run it.
  void Settle(Entry& entry, const std::string& file) {
    entry.file = file;
    entry.judgement = Judge(file, Exists(file), DriveTypeOf(file), survey_.folders);
    if (!withProcesses_ || entry.judgement.dead) return;
    for (const ProcessFacts& process : processes_) {
      if (RunsTheFile(process, file, entry.runs, survey_.environment)) {
        entry.processes.push_back({process.pid, process.exeName});
      }
    }
  }

  // The file the entry is judged by: the first suspicious one, else the first dead one, else
  // the first.
  void Choose(Entry& entry, const std::vector<Candidate>& candidates) {
    if (candidates.empty()) {
      entry.judgement = Judge({}, false, DriveType::Unknown, survey_.folders);
      return;
    }
    const Candidate* chosen = nullptr;
    int best = -1;
    for (const Candidate& candidate : candidates) {
      const Judgement judgement = Judge(candidate.file, Exists(candidate.file), DriveTypeOf(candidate.file),
                                        survey_.folders);
      const int rank = judgement.suspicious ? 2 : judgement.dead ? 1 : 0;
      if (rank > best) {
        best = rank;
        chosen = &candidate;
      }
    }
    entry.runs = chosen->runs;
    Settle(entry, chosen->file);
  }

  PlatformOperations& os_;
  bool withProcesses_;
  Survey survey_;
  std::vector<ProcessFacts> processes_;
  std::map<std::string, bool> exists_;              // by path key
  std::map<std::string, std::uint32_t> driveTypes_;  // by lower-case "c:"
};

}  // namespace

Survey SurveyAutostart(PlatformOperations& os, Function& fn, bool processes) {
  return Surveyor(os, fn, processes).Run();
}

ProcessFacts FactsOf(PlatformOperations& os, const ProcessEntry32& process) {
  ProcessFacts facts;
  facts.pid = process.th32ProcessID;
  facts.exeName = Function::StripNull(process.szExeFile);
  std::string image;
  if (os.QueryFullProcessImageNameA(process.th32ProcessID, image)) facts.image = std::move(image);
  std::string commandLine;
  if (os.NtQueryInformationProcess(process.th32ProcessID, commandLine)) facts.commandLine = std::move(commandLine);
  return facts;
}

std::vector<RunningProcess> ProcessesRunning(PlatformOperations& os, const Entry& entry, const Environment& environment) {
  std::vector<RunningProcess> running;
  if (!readers::IsAbsolutePath(entry.file)) return running;
  const Handle snapshot = os.CreateToolhelp32Snapshot(Snapshot::All, 0);
  if (snapshot == 0) return running;
  ProcessEntry32 process;
  process.dwSize = ProcessEntry32::kAnsiSize;
  for (bool more = os.Process32First(snapshot, process); more; more = os.Process32Next(snapshot, process)) {
    const ProcessFacts facts = FactsOf(os, process);
    if (RunsTheFile(facts, entry.file, entry.runs, environment)) running.push_back({facts.pid, facts.exeName});
  }
  os.CloseHandle(snapshot);
  return running;
}

std::string ProcessesText(const std::vector<RunningProcess>& processes) {
  std::string text;
  for (const RunningProcess& process : processes) {
    if (!text.empty()) text += ", ";
    text += process.name + " (" + std::to_string(process.pid) + ")";
  }
  return text;
}

int SuspiciousNotShown(const std::vector<Entry>& entries, const std::vector<std::string>& shownRunValues) {
  int count = 0;
  for (const Entry& entry : entries) {
    if (!entry.judgement.suspicious) continue;
    const bool userRun = entry.place.kind == Place::Kind::RegistryValue && entry.place.root == Root::CurrentUser &&
                         !entry.place.view32 && LowerCase(entry.place.keyPath) == LowerCase(kRunKey);
    const bool shown = userRun && std::any_of(shownRunValues.begin(), shownRunValues.end(), [&](const std::string& name) {
                         return LowerCase(name) == LowerCase(entry.name);
                       });
    if (!shown) ++count;
  }
  return count;
}

}  // namespace tidewick::autostart
