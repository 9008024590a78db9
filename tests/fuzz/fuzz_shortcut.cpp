// The shortcut reader on any bytes: never crashes, is damaged exactly when a bound is broken,
// gives only valid UTF-8, and makes every long blank run of the arguments a visible token.
// Each input is read twice: as a file, and behind a valid header whose LinkFlags are the
// input's first four bytes, so that mutations reach the parts after the header.
#include "readers/shortcut.h"
#include "readers/text_decode.h"
#include "readers/visible_text.h"
#include "tests/fuzz/fuzz_input.h"

#include <string>
#include <vector>

using namespace tidewick::readers;
using tidewick::fuzz::Broken;

namespace {

void CheckUtf8(const std::string& text) {
  if (!IsValidUtf8(text)) Broken();
}

void CheckStrings(const Shortcut& link) {
  for (const ShortcutString* field :
       {&link.name, &link.relativePath, &link.workingDir, &link.arguments, &link.iconLocation}) {
    CheckUtf8(field->text);
    CheckUtf8(field->afterNul);
    if (!field->present && (!field->text.empty() || field->count != 0)) Broken();
  }
  for (const IdListItem& item : link.idList) {
    CheckUtf8(item.name);
    CheckUtf8(item.primaryName);
  }
  CheckUtf8(link.idListPath);
  const LinkInfo& info = link.linkInfo;
  for (const std::string* text : {&info.volumeLabel, &info.localBasePath, &info.localBasePathUnicode, &info.netName,
                                  &info.deviceName, &info.commonPathSuffix, &info.commonPathSuffixUnicode}) {
    CheckUtf8(*text);
  }
  for (const EnvironmentPath* path : {&link.environment, &link.iconEnvironment, &link.darwin}) {
    CheckUtf8(path->ansi);
    CheckUtf8(path->unicode);
  }
  CheckUtf8(link.knownFolder.knownFolderId);
  CheckUtf8(link.trackerMachineId);
  CheckUtf8(link.shimLayer);
  CheckUtf8(link.damageText);
  CheckUtf8(link.argumentsVisible);
  for (const StatedTarget& target : link.targets) {
    CheckUtf8(target.path);
    if (target.path.empty()) Broken();
  }
}

// The longest run of code points that VisibleText makes visible.
std::size_t LongestHiddenRun(const std::string& text) {
  std::size_t longest = 0;
  std::size_t run = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t code = NextCodePoint(text, pos);
    run = (IsBlankOrInvisible(code) || IsControl(code) || IsHiddenFormat(code)) ? run + 1 : 0;
    if (run > longest) longest = run;
  }
  return longest;
}

void CheckVisible(const Shortcut& link) {
  const std::string& visible = link.argumentsVisible;
  std::size_t spaces = 0;
  std::size_t pos = 0;
  while (pos < visible.size()) {
    const char32_t code = NextCodePoint(visible, pos);
    if (IsControl(code)) Broken();
    spaces = code == U' ' ? spaces + 1 : 0;
    if (spaces >= kLongBlankRun) Broken();
  }
  std::string shown = link.arguments.text;
  if (!link.arguments.afterNul.empty()) shown += '\0' + link.arguments.afterNul;
  const std::size_t longest = LongestHiddenRun(shown);
  if (longest >= kLongBlankRun && visible.find("\u27E8" + GroupedNumber(longest)) == std::string::npos) Broken();
}

// Two readings of the same bytes agree in what they found.
bool SameResult(const Shortcut& a, const Shortcut& b) {
  if (a.damage != b.damage || a.linkFlags != b.linkFlags || a.showCommand != b.showCommand) return false;
  if (a.idListPath != b.idListPath || a.arguments.text != b.arguments.text) return false;
  if (a.linkInfo.localBasePath != b.linkInfo.localBasePath || a.bytesUsed != b.bytesUsed) return false;
  if (a.targets.size() != b.targets.size() || a.targetsDisagree != b.targetsDisagree) return false;
  for (std::size_t i = 0; i < a.targets.size(); ++i) {
    if (a.targets[i].path != b.targets[i].path || a.targets[i].place != b.targets[i].place) return false;
  }
  return a.blockSignatures == b.blockSignatures;
}

void Check(std::span<const std::uint8_t> bytes) {
  const Shortcut link = ReadShortcut(bytes);
  CheckStrings(link);
  CheckVisible(link);
  if ((link.damage == Damage::TooLarge) != (bytes.size() > kMaxShortcutBytes)) Broken();
  if (link.damage == Damage::BeyondEnd) {
    // Damage names the bound it broke: a read needed more than its part held.
    if (link.damageNeeded <= link.damageLimit || link.damageLimit > bytes.size()) Broken();
  }
  if (!link.Damaged()) {
    // A shortcut read whole used no byte beyond the file, depends on no byte after what it
    // used, and lacks its last byte when cut one short.
    if (link.bytesUsed > bytes.size() || link.bytesUsed < 0x4C + 4) Broken();
    if (!SameResult(link, ReadShortcut(bytes.first(link.bytesUsed)))) Broken();
    if (ReadShortcut(bytes.first(link.bytesUsed - 1)).damage != Damage::BeyondEnd) Broken();
    if (link.EffectiveShowCommand() != 1 && link.EffectiveShowCommand() != 3 && link.EffectiveShowCommand() != 7) {
      Broken();
    }
  }
  const std::vector<CommandAnalysis> analyses = AnalyzeShortcut(link);
  if (analyses.size() > link.targets.size() || (analyses.empty() && !link.targets.empty())) Broken();
  for (const CommandAnalysis& analysis : analyses) {
    CheckUtf8(analysis.program);
    for (const StartedFile& file : analysis.started) CheckUtf8(file.path);
    for (const OpenedTarget& target : analysis.opened) CheckUtf8(target.path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  Check(bytes);
  if (size >= 4) {
    static constexpr std::uint8_t kHeader[0x4C] = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    std::vector<std::uint8_t> framed(std::begin(kHeader), std::end(kHeader));
    std::copy(data, data + 4, framed.begin() + 0x14);
    framed.insert(framed.end(), data + 4, data + size);
    Check(framed);
  }
  return 0;
}
