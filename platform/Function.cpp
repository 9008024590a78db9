// The shared procedures of module Function.
//
// Skip-on-error procedures (SetRegDword, EnableCommandPrompt, FixRegistry, KillProcessByName)
// run each of their steps through SkipOnError (platform/skip_on_error.h, which holds the rule of
// what is passed over): a step that fails is passed over and the next one runs, so they stop
// half-way only for what is no failure, such as the end of the program. Window events handled
// inside the event pump are the handlers' own business: what they throw is not swallowed here.
#include "platform/Function.h"

#include "platform/registry.h"
#include "platform/registry_paths.h"
#include "platform/skip_on_error.h"
#include "platform/text.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tidewick {
namespace {

// The status answered for a step that was passed over because it raised an error
// (ERROR_INVALID_FUNCTION).
constexpr Status kStepFailed = 1;


// Length of the character at the start of `text`: a well-formed UTF-8 sequence, or a single
// byte where the bytes are not UTF-8.
std::size_t CharLength(std::string_view text) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = b(0);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (length == 1 || text.size() < length) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 1;
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not characters either.
  if ((lead == 0xE0 && b(1) < 0xA0) || (lead == 0xED && b(1) > 0x9F) ||
      (lead == 0xF0 && b(1) < 0x90) || (lead == 0xF4 && b(1) > 0x8F)) {
    return 1;
  }
  return length;
}

// Byte offsets at which the characters of `text` begin.
std::vector<std::size_t> CharStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size(); at += CharLength(text.substr(at))) {
    starts.push_back(at);
  }
  return starts;
}

struct RepairRow {
  Handle root;
  std::string_view subKey;
  std::string_view valueName;
  std::int32_t data;
};

// The policy repair, in the order written (the paths as registry_paths.h gives them).
constexpr RepairRow kRepairRows[] = {
    {Root::CurrentUser, regpath::kCommandPromptPolicy, "DisableCMD", 0},
    {Root::CurrentUser, regpath::kSystemPolicies, "DisableTaskMgr", 0},
    {Root::LocalMachine, regpath::kMachineSystemPolicies, "DisableTaskMgr", 0},
    {Root::CurrentUser, regpath::kExplorerPolicies, "NoFolderOptions", 0},
    {Root::LocalMachine, regpath::kExplorerPolicies, "NoFolderOptions", 0},
    {Root::CurrentUser, regpath::kSystemPolicies, "DisableRegistryTools", 0},
    {Root::LocalMachine, regpath::kMachineSystemPolicies, "DisableRegistryTools", 0},
    {Root::CurrentUser, regpath::kAdvanced, "SuperHidden", 1},
    {Root::LocalMachine, regpath::kMachineAdvancedFolder, "HideFileExt", 1},
    {Root::CurrentUser, regpath::kAdvanced, "Hidden", 0},
    {Root::CurrentUser, regpath::kAdvanced, "ShowSuperHidden", 0},
    {Root::LocalMachine, regpath::kShowAll, "CheckedValue", 1},
};

constexpr std::string_view kCommandPromptValue = "DisableCMD";

// Size of the profile buffer handed to GetUserProfileDirectoryA.
constexpr std::uint32_t kProfileBufferSize = 255;

}  // namespace

// ---- RegAnswer ----------------------------------------------------------------------------

// Text counts as the number 1 when, without surrounding blanks, it is a decimal number equal
// to 1: an optional "+", digits (leading zeros allowed) and an optional fraction of zeros.
// "1", " 1 ", "01", "+1", "1.0", "1." do; "1a", "-1", "0x1", "1e0", "", "1 1" do not.
bool RegAnswer::IsOne() const {
  if (IsNumber()) return Number() == 1;
  std::string_view text = Text();
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  const auto allOf = [](std::string_view digits, auto test) {
    for (char c : digits) {
      if (!test(c)) return false;
    }
    return true;
  };
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (!allOf(whole, isDigit) || !allOf(fraction, [](char c) { return c == '0'; })) return false;
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  return whole == "1";
}

// ---- Registry values ----------------------------------------------------------------------

Status Function::SetRegDword(Handle root, std::string_view subKey, std::string_view valueName,
                             std::int32_t value) {
  ScopedKey key(os_);
  Status status = kStepFailed;
  SkipOnError([&] { os_.RegCreateKeyA(root, subKey, key.Put()); });
  SkipOnError([&] {
    status = os_.RegSetValueExA(key.Get(), valueName, 0, RegType::Dword, &value, sizeof value);
  });
  SkipOnError([&] { key.Close(); });
  return status;
}

// Each procedure ends with the close of its key (also of a key that did not open, as 0), and
// LastRegResult tells that close's status.
RegAnswer Function::GetRegValue(Handle root, std::string_view subKey,
                                std::string_view valueName) {
  KeyResult opened = OpenKey(os_, root, subKey);
  lastRegResult_ = opened.status;
  RegAnswer answer;
  if (const std::optional<RegData> value = ReadValue(opened.key, valueName)) {
    if (const std::string* text = std::get_if<std::string>(&*value)) {
      answer = RegAnswer(*text);
    } else {
      answer = RegAnswer(static_cast<std::int32_t>(std::get<std::uint32_t>(*value)));
    }
  }
  lastRegResult_ = opened.key.Close();
  return answer;
}

void Function::DeleteRegValue(Handle root, std::string_view subKey, std::string_view valueName) {
  if (!RegKeyExists(root, subKey)) return;
  KeyResult opened = OpenKey(os_, root, subKey);
  lastRegResult_ = opened.status;
  lastRegResult_ = os_.RegDeleteValueA(opened.key.Get(), valueName);  // a missing value fails quietly
  lastRegResult_ = opened.key.Close();
}

bool Function::RegKeyExists(Handle root, std::string_view subKey) {
  KeyResult opened = OpenKey(os_, root, subKey);
  lastRegResult_ = opened.status;
  const bool exists = static_cast<bool>(opened.key);
  lastRegResult_ = opened.key.Close();
  return exists;
}

// ---- Policy repair ------------------------------------------------------------------------

void Function::EnableCommandPrompt() {
  SetRegDword(Root::CurrentUser, regpath::kCommandPromptPolicy, kCommandPromptValue, 0);
  SetRegDword(Root::LocalMachine, regpath::kCommandPromptPolicy, kCommandPromptValue, 0);
}

void Function::FixRegistry() {
  for (const RepairRow& row : kRepairRows) {
    SetRegDword(row.root, row.subKey, row.valueName, row.data);
  }
  os_.DoEvents();
}

// ---- Processes, profile, waiting, text ----------------------------------------------------

void Function::KillChosen(const std::function<bool(const ProcessEntry32&)>& chosen) {
  Handle snapshot = 0;
  SkipOnError([&] { snapshot = os_.CreateToolhelp32Snapshot(Snapshot::All, 0); });

  ProcessEntry32 entry;
  entry.dwSize = ProcessEntry32::kAnsiSize;
  bool more = false;
  SkipOnError([&] { more = os_.Process32First(snapshot, entry); });
  while (more) {
    SkipOnError([&] {
      if (!chosen(entry)) return;
      const std::string command = "cmd /c pskill " + std::to_string(entry.th32ProcessID);
      EnableCommandPrompt();
      os_.StartCommandLine(command, ShowCommand::MinimizedNoFocus);
    });
    more = false;  // a walk whose next step fails ends there
    SkipOnError([&] { more = os_.Process32Next(snapshot, entry); });
  }
  if (snapshot != 0) SkipOnError([&] { os_.CloseHandle(snapshot); });
}

void Function::KillProcessByName(std::string_view exeName) {
  std::string wanted;
  SkipOnError([&] { wanted = LowerCase(exeName); });
  KillChosen([&](const ProcessEntry32& entry) {
    // An empty name is no executable name: it matches nothing.
    return !wanted.empty() && LowerCase(StripNull(entry.szExeFile)) == wanted;
  });
}

void Function::KillProcessByImage(std::string_view imagePath) {
  std::string wantedPath;
  std::string wantedName;
  SkipOnError([&] {
    wantedPath = ComparablePath(imagePath);
    const std::size_t slash = wantedPath.find_last_of('\\');
    // Only a path with a folder names one file; a bare name could be any program's.
    if (slash == std::string::npos || slash == 0 || slash + 1 == wantedPath.size()) return;
    wantedName = wantedPath.substr(slash + 1);
  });
  if (wantedName.empty()) return;
  KillChosen([&](const ProcessEntry32& entry) {
    // The name first: only namesakes are asked for their image.
    if (LowerCase(StripNull(entry.szExeFile)) != wantedName) return false;
    std::string image;
    if (!os_.QueryFullProcessImageNameA(entry.th32ProcessID, image)) return false;
    return ComparablePath(image) == wantedPath;
  });
}

void Function::KillProcessesWhere(const std::function<bool(const ProcessEntry32&)>& chosen) { KillChosen(chosen); }

std::string Function::GetUserProfilePath() {
  std::string buffer(kProfileBufferSize, '\0');
  Handle token = 0;
  os_.OpenProcessToken(os_.GetCurrentProcess(), TokenAccess::Query, token);
  std::uint32_t size = kProfileBufferSize;
  if (!os_.GetUserProfileDirectoryA(token, buffer, size) && size > kProfileBufferSize) {
    // A profile path longer than the buffer (a long name outside ASCII takes up to three
    // bytes a letter): ask once more with the size the call asked for.
    buffer.assign(size, '\0');
    os_.GetUserProfileDirectoryA(token, buffer, size);
  }
  if (token != 0) os_.CloseHandle(token);
  return StripNull(buffer);
}

void Function::Delay(std::uint32_t milliseconds) {
  const std::uint32_t start = os_.GetTickCount();
  for (;;) {
    // Unsigned difference: correct across the wrap of the 32-bit tick counter.
    const std::uint32_t elapsed = os_.GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    os_.WaitForEvents(milliseconds - elapsed);
    os_.DoEvents();
  }
}

std::optional<int> Function::FindLike(std::string_view text, std::string_view pattern,
                                      int start) {
  if (start < 1) return std::nullopt;
  const std::vector<std::size_t> starts = CharStarts(text);
  const std::size_t first = static_cast<std::size_t>(start) - 1;
  const std::string_view rest =
      first < starts.size() ? text.substr(starts[first]) : std::string_view{};

  const std::string anywhere = "*" + std::string(pattern) + "*";
  switch (MatchLike(rest, anywhere)) {
    case LikeResult::InvalidPattern:
      return std::nullopt;
    case LikeResult::NoMatch:
      return 0;
    case LikeResult::Match:
      break;
  }
  const std::string fromHere = std::string(pattern) + "*";
  const std::vector<std::size_t> restStarts = CharStarts(rest);
  for (std::size_t n = 0; n < restStarts.size(); ++n) {
    if (MatchLike(rest.substr(restStarts[n]), fromHere) == LikeResult::Match) {
      return static_cast<int>(n + 1);
    }
  }
  return 0;
}

std::string Function::StripNull(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

}  // namespace tidewick
