// The shared procedures of the program: registry values, the policy repair, ending processes
// through the kill tool, the profile folder, waiting, and wildcard search.
//
// Written against PlatformOperations only, so they run on the real system and on the
// simulated one alike.
#pragma once

#include "platform/platform_operations.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tidewick {

// The answer of GetRegValue: text or a 32-bit number. Empty text is the answer for every
// failure, and stays distinct from the number 0.
class RegAnswer {
 public:
  RegAnswer() = default;  // empty text
  explicit RegAnswer(std::string text) : value_(std::move(text)) {}
  explicit RegAnswer(std::int32_t number) : value_(number) {}

  bool IsNumber() const { return std::holds_alternative<std::int32_t>(value_); }
  bool IsText() const { return !IsNumber(); }
  std::int32_t Number() const { return std::get<std::int32_t>(value_); }  // only if IsNumber()
  const std::string& Text() const { return std::get<std::string>(value_); }  // only if IsText()
  // True for the number 1 and for text that reads as the number 1 (" 1", "1.0", "01").
  bool IsOne() const;

  friend bool operator==(const RegAnswer&, const RegAnswer&) = default;

 private:
  std::variant<std::string, std::int32_t> value_;
};

// The kill tool, looked for in the current folder.
inline constexpr std::string_view kKillToolFile = "pskill.exe";

class Function {
 public:
  explicit Function(PlatformOperations& os) : os_(os) {}

  // ---- Registry values ----
  // Creates every missing level of `subKey` and writes `value` as RegType::Dword. Never throws.
  Status SetRegDword(Handle root, std::string_view subKey, std::string_view valueName,
                     std::int32_t value);
  RegAnswer GetRegValue(Handle root, std::string_view subKey, std::string_view valueName);
  void DeleteRegValue(Handle root, std::string_view subKey, std::string_view valueName);
  bool RegKeyExists(Handle root, std::string_view subKey);
  // The status of the most recent registry call of RegKeyExists, DeleteRegValue or GetRegValue.
  Status LastRegResult() const { return lastRegResult_; }

  // ---- Policy repair ----
  // Lifts the command-prompt policy under both roots.
  void EnableCommandPrompt();
  // Writes the twelve repair values in order, then pumps window events once.
  void FixRegistry();

  // ---- Processes, profile, waiting, text ----
  // Starts "cmd /c pskill <pid>" (style 6, not awaited) for every running process whose
  // executable name equals `exeName` case-insensitively, lifting the command-prompt policy
  // right before each start.
  void KillProcessByName(std::string_view exeName);
  // The same for every running process whose program file is `imagePath` (a full path): its
  // executable name is the path's file name (letter case aside) and its image path, read with
  // QueryFullProcessImageNameA, names the same file as `imagePath` by ComparablePath. A process
  // of that name running from anywhere else, or whose image cannot be read, is left running;
  // so is every process for a path without a folder.
  void KillProcessByImage(std::string_view imagePath);
  // The same for every running process that `chosen` picks, asked for each process of the
  // snapshot as it is walked, so the choice is made on what runs at that moment (a process id
  // noted earlier may belong to another program by now).
  void KillProcessesWhere(const std::function<bool(const ProcessEntry32&)>& chosen);
  // The profile folder without trailing backslash; empty when it cannot be learned.
  std::string GetUserProfilePath();
  // Waits at least `milliseconds` while window events keep being handled, without spinning.
  void Delay(std::uint32_t milliseconds);
  // 1-based position, counted from `start`, of the first place where `pattern` matches in
  // `text`, or 0. No answer (nullopt) for an invalid pattern or a start below 1.
  std::optional<int> FindLike(std::string_view text, std::string_view pattern, int start);
  static std::string StripNull(std::string_view text);

 private:
  // Walks one snapshot of the running processes and hands each process that `chosen` picks to
  // the kill tool ("cmd /c pskill <pid>", the command-prompt policy lifted right before each
  // start). A step that fails is passed over.
  void KillChosen(const std::function<bool(const ProcessEntry32&)>& chosen);

  PlatformOperations& os_;
  Status lastRegResult_ = StatusCode::Success;
};

}  // namespace tidewick
