// A bounded reader of shortcut files (.lnk, the Shell Link binary format): bytes in, fields
// out. No shell code ever runs on the file: nothing is resolved, no icon is read, no COM
// object is made. Every count and offset is checked against the bytes it lies in; a file that
// breaks a bound is "damaged", reported as a result, never by a crash or an exception.
//
// Layout read: the 76-byte header; the target ID list (root, volume, folder and file items,
// with the long name of a file item's BEEF0004 extension block, enough to give a path); the
// LinkInfo (volume, local base path, network share, common path suffix, ANSI and Unicode); the
// five strings (name, relative path, working folder, arguments, icon location; Unicode or
// ANSI as the IsUnicode flag says); the extra data blocks (environment-variable target,
// icon environment, known folder, special folder, tracker machine, Darwin id, shim layer, and
// the signature of every other block) up to the terminal block.
//
// Text out is UTF-8. ANSI text is read as Windows-1252 (see AnsiToUtf8); UTF-16 text that is
// not well formed gives U+FFFD.
#pragma once

#include "readers/command_line.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::readers {

// A shortcut is a few hundred bytes; a larger file is damaged. Callers read at most one byte
// more than this, so that a larger file shows as larger.
inline constexpr std::size_t kMaxShortcutBytes = 1024 * 1024;

// The LinkFlags of the header.
namespace link_flag {
inline constexpr std::uint32_t kHasLinkTargetIdList = 0x00000001;
inline constexpr std::uint32_t kHasLinkInfo = 0x00000002;
inline constexpr std::uint32_t kHasName = 0x00000004;
inline constexpr std::uint32_t kHasRelativePath = 0x00000008;
inline constexpr std::uint32_t kHasWorkingDir = 0x00000010;
inline constexpr std::uint32_t kHasArguments = 0x00000020;
inline constexpr std::uint32_t kHasIconLocation = 0x00000040;
inline constexpr std::uint32_t kIsUnicode = 0x00000080;
inline constexpr std::uint32_t kForceNoLinkInfo = 0x00000100;
inline constexpr std::uint32_t kHasExpString = 0x00000200;
inline constexpr std::uint32_t kRunInSeparateProcess = 0x00000400;
inline constexpr std::uint32_t kHasDarwinId = 0x00001000;
inline constexpr std::uint32_t kRunAsUser = 0x00002000;
inline constexpr std::uint32_t kHasExpIcon = 0x00004000;
inline constexpr std::uint32_t kNoPidlAlias = 0x00008000;
inline constexpr std::uint32_t kRunWithShimLayer = 0x00020000;
inline constexpr std::uint32_t kForceNoLinkTrack = 0x00040000;
inline constexpr std::uint32_t kEnableTargetMetadata = 0x00080000;
inline constexpr std::uint32_t kDisableLinkPathTracking = 0x00100000;
inline constexpr std::uint32_t kDisableKnownFolderTracking = 0x00200000;
inline constexpr std::uint32_t kDisableKnownFolderAlias = 0x00400000;
inline constexpr std::uint32_t kAllowLinkToLink = 0x00800000;
inline constexpr std::uint32_t kUnaliasOnSave = 0x01000000;
inline constexpr std::uint32_t kPreferEnvironmentPath = 0x02000000;
inline constexpr std::uint32_t kKeepLocalIdListForUncTarget = 0x04000000;
}  // namespace link_flag

// The ShowCommand values the format names; Windows treats every other value as kShowNormal.
inline constexpr std::uint32_t kShowNormal = 1;
inline constexpr std::uint32_t kShowMaximized = 3;
inline constexpr std::uint32_t kShowMinNoActive = 7;

// The signatures of the extra data blocks.
namespace block_signature {
inline constexpr std::uint32_t kEnvironment = 0xA0000001;
inline constexpr std::uint32_t kConsole = 0xA0000002;
inline constexpr std::uint32_t kTracker = 0xA0000003;
inline constexpr std::uint32_t kConsoleFe = 0xA0000004;
inline constexpr std::uint32_t kSpecialFolder = 0xA0000005;
inline constexpr std::uint32_t kDarwin = 0xA0000006;
inline constexpr std::uint32_t kIconEnvironment = 0xA0000007;
inline constexpr std::uint32_t kShim = 0xA0000008;
inline constexpr std::uint32_t kPropertyStore = 0xA0000009;
inline constexpr std::uint32_t kKnownFolder = 0xA000000B;
inline constexpr std::uint32_t kVistaAndAboveIdList = 0xA000000C;
}  // namespace block_signature

// One of the five strings.
struct ShortcutString {
  bool present = false;
  std::string text;         // what Windows uses: the characters up to the first NUL
  std::string afterNul;     // characters after a NUL inside the count, trailing NULs removed
  std::uint16_t count = 0;  // CountCharacters as written
  bool countedNul = false;  // the count includes trailing NULs (as Wine writes it)
};

// One item of the target ID list.
struct IdListItem {
  enum class Kind { Root, Volume, Folder, File, Network, Unknown };
  Kind kind = Kind::Unknown;
  std::uint8_t type = 0;    // the class byte (0 for an item too short to have one)
  std::string name;         // the long name where the item has one, else its own name;
                            // "C:\" for a volume, "::{GUID}" for a root or GUID item
  std::string primaryName;  // a file item's own (often 8.3) name
  bool hasLongName = false;
};

struct LinkInfo {
  bool present = false;
  std::uint32_t flags = 0;       // 1: volume and local base path, 2: network share and suffix
  bool hasVolume = false;
  std::uint32_t driveType = 0;   // DRIVE_REMOVABLE (2), DRIVE_FIXED (3), ...
  std::uint32_t driveSerial = 0;
  std::string volumeLabel;
  std::string localBasePath;
  std::string localBasePathUnicode;
  bool hasNetwork = false;
  std::string netName;           // "\\server\share"
  std::string deviceName;        // "Z:"
  std::string commonPathSuffix;
  std::string commonPathSuffixUnicode;
};

// The ANSI and Unicode path of an environment-variable block (target or icon), unexpanded.
struct EnvironmentPath {
  bool present = false;
  std::string ansi;
  std::string unicode;
};

struct FolderBlock {
  bool present = false;
  std::string knownFolderId;        // "{FDD39AD0-238F-46AF-ADB4-6C85480369C7}" (known folder)
  std::uint32_t specialFolderId = 0;  // a CSIDL (special folder)
  std::uint32_t offset = 0;         // into the ID list
};

// Where a shortcut states its target.
enum class TargetPlace {
  IdList,              // the path the ID list spells
  LinkInfo,            // local base path (or network share) plus common path suffix, ANSI
  LinkInfoUnicode,     // the same from the Unicode fields
  EnvironmentAnsi,     // the environment-variable block, ANSI field, as written
  EnvironmentUnicode,  // the same, Unicode field
  RelativePath,        // the relative-path string, resolved against nothing
};

struct StatedTarget {
  TargetPlace place = TargetPlace::IdList;
  std::string path;
};

enum class Damage {
  None,
  TooLarge,      // more than kMaxShortcutBytes
  NotAShortcut,  // the header size or class id is not that of a shortcut
  BeyondEnd,     // a count, offset or terminator lies beyond the bytes that should hold it
};

struct Shortcut {
  Damage damage = Damage::None;
  std::string damageText;       // what is wrong, in words
  std::size_t damageNeeded = 0;  // BeyondEnd: the end a read needed ...
  std::size_t damageLimit = 0;   // ... and the end of the bytes it had (damageNeeded > damageLimit)
  bool Damaged() const { return damage != Damage::None; }

  // Header.
  std::uint32_t linkFlags = 0;
  std::uint32_t fileAttributes = 0;
  std::uint64_t creationTime = 0;  // FILETIME
  std::uint64_t accessTime = 0;
  std::uint64_t writeTime = 0;
  std::uint32_t fileSize = 0;
  std::int32_t iconIndex = 0;
  std::uint32_t showCommand = 0;  // as written
  std::uint16_t hotKey = 0;
  bool Has(std::uint32_t flag) const { return (linkFlags & flag) != 0; }
  // The show command Windows uses: 3 and 7 as written, every other value 1.
  std::uint32_t EffectiveShowCommand() const {
    return showCommand == kShowMaximized || showCommand == kShowMinNoActive ? showCommand : kShowNormal;
  }

  std::vector<IdListItem> idList;
  std::string idListPath;  // empty when an item could not be decoded
  LinkInfo linkInfo;
  ShortcutString name;
  ShortcutString relativePath;
  ShortcutString workingDir;
  ShortcutString arguments;
  ShortcutString iconLocation;
  EnvironmentPath environment;
  EnvironmentPath iconEnvironment;
  FolderBlock knownFolder;
  FolderBlock specialFolder;
  std::string trackerMachineId;
  EnvironmentPath darwin;  // the Darwin (installer) id, ANSI and Unicode
  std::string shimLayer;
  std::vector<std::uint32_t> blockSignatures;  // every extra data block, in order
  std::size_t bytesUsed = 0;  // through the terminal block; later bytes are not read

  // Every place that states a target, in the order above, and whether they disagree.
  std::vector<StatedTarget> targets;
  bool targetsDisagree = false;
  // The arguments as a user can see them (VisibleText), with any text hidden after a NUL.
  std::string argumentsVisible;
};

// Reads a shortcut. `environment` serves only the comparison of the stated targets: an
// environment-block path is expanded with it, and one that still names an unknown variable
// is left out of the comparison.
//
// Targets disagree when two absolute places name different paths (letter case aside; an ANSI
// path matches when its ASCII characters do and each stretch it could not show faithfully,
// non-ASCII or '?', stands for non-ASCII characters of the other), or when an absolute place
// does not end with the relative path (its "." and ".." removed). Fields read before a fault
// stay filled, so a damaged shortcut can still be shown.
Shortcut ReadShortcut(std::span<const std::uint8_t> bytes, const Environment& environment = {});

// What the shortcut may run: the analysis of each distinct target it states (ID list, LinkInfo,
// environment block, expanded with `environment`; an ANSI path that agrees with an earlier
// place is the same target) with its arguments, in the order of the places. The relative path
// serves only when no other place states a target. Whichever place Windows takes, its command
// is among these. Relative names stay relative: the caller resolves them against the working
// folder, or the shortcut's own folder when it has none.
std::vector<CommandAnalysis> AnalyzeShortcut(const Shortcut& link, const Environment& environment = {});

std::string_view TargetPlaceText(TargetPlace place);
// "normal window", "maximized", "minimized, without focus" (for 1, 3, 7), or "value N".
std::string ShowCommandText(std::uint32_t showCommand);

}  // namespace tidewick::readers
