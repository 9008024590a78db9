// Classification of drive entries: never crashes, and follows the rules for any name.
#include "drive_cleaner/frm_rd.h"
#include "platform/text.h"
#include "tests/fuzz/fuzz_input.h"

#include <string>

using tidewick::EntryClass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto [name, ownExe] = tidewick::fuzz::SplitAtNul(data, size);
  const std::string ownLower = tidewick::LowerCase(ownExe);
  const std::string lower = tidewick::LowerCase(name);

  // Lower-casing is stable: a lower-cased name lower-cases to itself.
  if (tidewick::LowerCase(lower) != lower) tidewick::fuzz::Broken();

  const EntryClass kind = tidewick::ClassifyEntry(name, ownLower);
  const bool exe = tidewick::Contains(lower, ".exe");
  if (exe && lower != ownLower && kind != EntryClass::Unknown) tidewick::fuzz::Broken();
  if (exe && lower == ownLower && kind != EntryClass::Nothing) tidewick::fuzz::Broken();
  if (!exe && kind == EntryClass::Unknown) tidewick::fuzz::Broken();
  // Only a name ending in a virus extension lands in the virus list.
  if (kind == EntryClass::Virus && !tidewick::HasVirusExtension(lower)) tidewick::fuzz::Broken();
  if (!exe && tidewick::HasVirusExtension(lower) && kind != EntryClass::Virus) tidewick::fuzz::Broken();
  // The letter case of a name never changes its class.
  if (tidewick::ClassifyEntry(lower, ownLower) != kind) tidewick::fuzz::Broken();
  return 0;
}
