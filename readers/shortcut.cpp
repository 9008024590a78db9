// The shortcut reader. Every read goes through Cursor, which checks it against the end of the
// structure it belongs to; a read beyond it stops the reading with Damage::BeyondEnd.
#include "readers/shortcut.h"

#include "platform/text.h"
#include "readers/paths.h"
#include "readers/text_decode.h"
#include "readers/visible_text.h"

#include <algorithm>
#include <array>
#include <exception>

namespace tidewick::readers {
namespace {

constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kShellLinkClassId = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::string_view kMyComputer = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
constexpr std::uint32_t kFileEntryExtension = 0xBEEF0004;

// A read beyond a bound: stops the reading (thrown inside this file only).
struct OutOfBounds {
  std::size_t needed;
  std::size_t limit;
  std::string what;
};

std::string Hex(std::size_t value) { return "0x" + HexDigits(value); }

class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Size() const { return bytes_.size(); }

  // Fails unless [offset, offset + length) lies inside [.., limit), limit inside the file.
  void Need(std::size_t offset, std::size_t length, std::size_t limit, std::string_view what) const {
    if (limit > bytes_.size()) limit = bytes_.size();
    if (offset > limit || length > limit - offset) {
      throw OutOfBounds{offset + length, limit, std::string(what) + " at " + Hex(offset)};
    }
  }

  std::uint8_t U8(std::size_t offset, std::size_t limit, std::string_view what) const {
    Need(offset, 1, limit, what);
    return bytes_[offset];
  }
  std::uint16_t U16(std::size_t offset, std::size_t limit, std::string_view what) const {
    Need(offset, 2, limit, what);
    return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
  }
  std::uint32_t U32(std::size_t offset, std::size_t limit, std::string_view what) const {
    Need(offset, 4, limit, what);
    return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
  }
  std::uint64_t U64(std::size_t offset, std::size_t limit, std::string_view what) const {
    return U32(offset, limit, what) | (static_cast<std::uint64_t>(U32(offset + 4, limit, what)) << 32);
  }
  std::span<const std::uint8_t> Span(std::size_t offset, std::size_t length, std::size_t limit,
                                     std::string_view what) const {
    Need(offset, length, limit, what);
    return bytes_.subspan(offset, length);
  }

  // An ANSI string ending with a NUL before `limit`.
  std::string AnsiZ(std::size_t offset, std::size_t limit, std::string_view what) const {
    Need(offset, 0, limit, what);
    limit = std::min(limit, bytes_.size());
    for (std::size_t end = offset; end < limit; ++end) {
      if (bytes_[end] == 0) return AnsiToUtf8(bytes_.subspan(offset, end - offset));
    }
    throw OutOfBounds{limit + 1, limit, std::string(what) + " at " + Hex(offset) + " has no end"};
  }

  // A UTF-16 string ending with a NUL unit before `limit`.
  std::string UnicodeZ(std::size_t offset, std::size_t limit, std::string_view what) const {
    Need(offset, 0, limit, what);
    limit = std::min(limit, bytes_.size());
    for (std::size_t end = offset; end + 2 <= limit; end += 2) {
      if (bytes_[end] == 0 && bytes_[end + 1] == 0) return Utf16LeToUtf8(bytes_.subspan(offset, end - offset));
    }
    throw OutOfBounds{limit + 1, limit, std::string(what) + " at " + Hex(offset) + " has no end"};
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// ---- Bounded helpers that never fail (inside structures whose layout the format leaves open)

// The text of a fixed-size field up to its first NUL (ANSI or UTF-16).
std::string FixedAnsi(std::span<const std::uint8_t> field) {
  std::size_t end = 0;
  while (end < field.size() && field[end] != 0) ++end;
  return AnsiToUtf8(field.first(end));
}

std::string FixedUnicode(std::span<const std::uint8_t> field) {
  std::size_t end = 0;
  while (end + 2 <= field.size() && (field[end] != 0 || field[end + 1] != 0)) end += 2;
  return Utf16LeToUtf8(field.first(end));
}

// A NUL-terminated string inside `item` from `offset`; false when it has no end there.
bool ItemAnsiZ(std::span<const std::uint8_t> item, std::size_t offset, std::string& text, std::size_t& end) {
  for (std::size_t i = offset; i < item.size(); ++i) {
    if (item[i] == 0) {
      text = AnsiToUtf8(item.subspan(offset, i - offset));
      end = i + 1;
      return true;
    }
  }
  return false;
}

bool ItemUnicodeZ(std::span<const std::uint8_t> item, std::size_t offset, std::string& text, std::size_t& end) {
  for (std::size_t i = offset; i + 2 <= item.size(); i += 2) {
    if (item[i] == 0 && item[i + 1] == 0) {
      text = Utf16LeToUtf8(item.subspan(offset, i - offset));
      end = i + 2;
      return true;
    }
  }
  return false;
}

std::uint16_t ItemU16(std::span<const std::uint8_t> item, std::size_t offset) {
  return static_cast<std::uint16_t>(item[offset] | (item[offset + 1] << 8));
}

std::uint32_t ItemU32(std::span<const std::uint8_t> item, std::size_t offset) {
  return static_cast<std::uint32_t>(ItemU16(item, offset)) | (static_cast<std::uint32_t>(ItemU16(item, offset + 2)) << 16);
}

std::string GuidText(std::span<const std::uint8_t> guid) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  // Data1, Data2 and Data3 are little-endian; Data4 is a byte string.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    const std::uint8_t byte = guid[static_cast<std::size_t>(kOrder[i])];
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text + "}";
}

bool IsDriveText(std::string_view text) {
  return text.size() >= 2 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
         text[1] == ':';
}

// The long name of a file item's BEEF0004 extension block at `offset`, if there is one.
bool LongNameAt(std::span<const std::uint8_t> item, std::size_t offset, std::string& longName) {
  if (offset < 14 || offset + 8 > item.size()) return false;
  const std::size_t size = ItemU16(item, offset);
  const std::uint16_t version = ItemU16(item, offset + 2);
  const std::uint32_t signature = ItemU32(item, offset + 4);
  if (size < 8 || offset + size > item.size()) return false;
  std::size_t nameOffset = 0;
  if (signature != kFileEntryExtension) {
    // Wine writes the block with version and signature zero and the long name where version 3
    // has it; the block then runs to the end of the item.
    if (signature != 0 || version != 0 || offset + size != item.size()) return false;
    nameOffset = 20;
  } else if (version >= 9) {
    nameOffset = 46;
  } else if (version == 8) {
    nameOffset = 42;
  } else if (version == 7) {
    nameOffset = 38;
  } else if (version >= 3) {
    nameOffset = 20;
  } else {
    return false;
  }
  if (nameOffset >= size) return false;
  std::size_t end = 0;
  return ItemUnicodeZ(item.subspan(offset, size), nameOffset, longName, end);
}

// Decodes one ID list item (its bytes including the 2-byte size). Items the format leaves to
// the shell are decoded where their layout is known; anything else is Unknown, never damage.
IdListItem DecodeItem(std::span<const std::uint8_t> item) {
  IdListItem decoded;
  if (item.size() < 3) return decoded;
  decoded.type = item[2];
  const std::uint8_t type = item[2];
  if (type == 0x1F) {
    if (item.size() >= 20) {
      decoded.kind = IdListItem::Kind::Root;
      decoded.name = "::" + GuidText(item.subspan(4, 16));
    }
    return decoded;
  }
  switch (type & 0x70) {
    case 0x20: {
      std::string drive;
      std::size_t end = 0;
      if (item.size() >= 5 && ItemAnsiZ(item, 3, drive, end) && IsDriveText(drive)) {
        if (drive.back() != '\\') drive += '\\';
        decoded.kind = IdListItem::Kind::Volume;
        decoded.name = drive;
      } else if (item.size() >= 20) {
        decoded.kind = IdListItem::Kind::Root;
        decoded.name = "::" + GuidText(item.subspan(4, 16));
      }
      return decoded;
    }
    case 0x30: {
      if (item.size() < 15) return decoded;
      const bool unicode = (type & 0x04) != 0;
      std::size_t end = 0;
      if (!(unicode ? ItemUnicodeZ(item, 14, decoded.primaryName, end) : ItemAnsiZ(item, 14, decoded.primaryName, end))) {
        return decoded;
      }
      if (end % 2 != 0) ++end;
      std::string longName;
      // The extension block follows the name; the item's last two bytes also give its offset.
      if (LongNameAt(item, end, longName) ||
          (item.size() >= 16 && LongNameAt(item, ItemU16(item, item.size() - 2), longName))) {
        decoded.name = longName;
        decoded.hasLongName = true;
      } else {
        decoded.name = decoded.primaryName;
      }
      decoded.kind = (type & 0x01) != 0 ? IdListItem::Kind::Folder : IdListItem::Kind::File;
      return decoded;
    }
    case 0x40: {
      std::string location;
      std::size_t end = 0;
      if (item.size() > 5 && ItemAnsiZ(item, 5, location, end) && !location.empty()) {
        decoded.kind = IdListItem::Kind::Network;
        decoded.name = location;
      }
      return decoded;
    }
    default:
      return decoded;
  }
}

std::string IdListPath(const std::vector<IdListItem>& items) {
  std::string path;
  for (const IdListItem& item : items) {
    switch (item.kind) {
      case IdListItem::Kind::Root:
        path = item.name == kMyComputer ? std::string() : item.name;
        break;
      case IdListItem::Kind::Volume:
      case IdListItem::Kind::Network:
        path = item.name;
        break;
      case IdListItem::Kind::Folder:
      case IdListItem::Kind::File:
        if (!path.empty() && path.back() != '\\') path += '\\';
        path += item.name;
        break;
      case IdListItem::Kind::Unknown:
        return {};
    }
  }
  return path;
}

std::string JoinSuffix(std::string base, std::string_view suffix) {
  if (suffix.empty()) return base;
  if (!base.empty() && base.back() != '\\') base += '\\';
  return base + std::string(suffix);
}

// ---- The parts of the file

void ReadHeader(const Cursor& in, Shortcut& out) {
  if (in.Size() >= 4 && in.U32(0, in.Size(), "the header size") != kHeaderSize) {
    throw Damage::NotAShortcut;
  }
  if (in.Size() >= 20) {
    const auto classId = in.Span(4, 16, in.Size(), "the class id");
    if (!std::equal(classId.begin(), classId.end(), kShellLinkClassId.begin())) throw Damage::NotAShortcut;
  }
  in.Need(0, kHeaderSize, in.Size(), "the header");
  out.linkFlags = in.U32(0x14, kHeaderSize, "LinkFlags");
  out.fileAttributes = in.U32(0x18, kHeaderSize, "FileAttributes");
  out.creationTime = in.U64(0x1C, kHeaderSize, "CreationTime");
  out.accessTime = in.U64(0x24, kHeaderSize, "AccessTime");
  out.writeTime = in.U64(0x2C, kHeaderSize, "WriteTime");
  out.fileSize = in.U32(0x34, kHeaderSize, "FileSize");
  out.iconIndex = static_cast<std::int32_t>(in.U32(0x38, kHeaderSize, "IconIndex"));
  out.showCommand = in.U32(0x3C, kHeaderSize, "ShowCommand");
  out.hotKey = in.U16(0x40, kHeaderSize, "HotKey");
}

std::size_t ReadIdList(const Cursor& in, std::size_t pos, Shortcut& out) {
  const std::size_t size = in.U16(pos, in.Size(), "IDListSize");
  const std::size_t start = pos + 2;
  const std::size_t end = start + size;
  in.Need(start, size, in.Size(), "the ID list");
  std::size_t at = start;
  while (true) {
    const std::size_t itemSize = in.U16(at, end, "an ID list item size");
    if (itemSize == 0) break;
    if (itemSize < 2) throw OutOfBounds{at + 2, at + itemSize, "an ID list item at " + Hex(at) + " shorter than its size"};
    out.idList.push_back(DecodeItem(in.Span(at, itemSize, end, "an ID list item")));
    at += itemSize;
  }
  out.idListPath = IdListPath(out.idList);
  return end;
}

std::size_t ReadLinkInfo(const Cursor& in, std::size_t pos, Shortcut& out) {
  LinkInfo& info = out.linkInfo;
  const std::size_t size = in.U32(pos, in.Size(), "LinkInfoSize");
  const std::size_t end = pos + size;
  in.Need(pos, size, in.Size(), "the LinkInfo");
  info.present = true;
  const std::size_t headerSize = in.U32(pos + 4, end, "LinkInfoHeaderSize");
  in.Need(pos, std::max<std::size_t>(headerSize, 0x1C), end, "the LinkInfo header");
  info.flags = in.U32(pos + 8, end, "LinkInfoFlags");
  const std::size_t volumeOffset = in.U32(pos + 12, end, "VolumeIDOffset");
  const std::size_t localOffset = in.U32(pos + 16, end, "LocalBasePathOffset");
  const std::size_t networkOffset = in.U32(pos + 20, end, "CommonNetworkRelativeLinkOffset");
  const std::size_t suffixOffset = in.U32(pos + 24, end, "CommonPathSuffixOffset");
  std::size_t localUnicodeOffset = 0;
  std::size_t suffixUnicodeOffset = 0;
  if (headerSize >= 0x24) {
    localUnicodeOffset = in.U32(pos + 28, end, "LocalBasePathOffsetUnicode");
    suffixUnicodeOffset = in.U32(pos + 32, end, "CommonPathSuffixOffsetUnicode");
  }
  if ((info.flags & 0x1) != 0) {
    const std::size_t volume = pos + volumeOffset;
    const std::size_t volumeSize = in.U32(volume, end, "VolumeIDSize");
    const std::size_t volumeEnd = volume + volumeSize;
    in.Need(volume, std::max<std::size_t>(volumeSize, 0x10), end, "the VolumeID");
    info.hasVolume = true;
    info.driveType = in.U32(volume + 4, volumeEnd, "DriveType");
    info.driveSerial = in.U32(volume + 8, volumeEnd, "DriveSerialNumber");
    const std::size_t labelOffset = in.U32(volume + 12, volumeEnd, "VolumeLabelOffset");
    if (labelOffset == 0x14) {
      const std::size_t unicodeOffset = in.U32(volume + 16, volumeEnd, "VolumeLabelOffsetUnicode");
      info.volumeLabel = in.UnicodeZ(volume + unicodeOffset, volumeEnd, "the volume label");
    } else {
      info.volumeLabel = in.AnsiZ(volume + labelOffset, volumeEnd, "the volume label");
    }
    info.localBasePath = in.AnsiZ(pos + localOffset, end, "LocalBasePath");
    if (localUnicodeOffset != 0) {
      info.localBasePathUnicode = in.UnicodeZ(pos + localUnicodeOffset, end, "LocalBasePathUnicode");
    }
  }
  if ((info.flags & 0x2) != 0) {
    const std::size_t link = pos + networkOffset;
    const std::size_t linkSize = in.U32(link, end, "CommonNetworkRelativeLinkSize");
    const std::size_t linkEnd = link + linkSize;
    in.Need(link, std::max<std::size_t>(linkSize, 0x14), end, "the CommonNetworkRelativeLink");
    info.hasNetwork = true;
    const std::uint32_t linkFlags = in.U32(link + 4, linkEnd, "CommonNetworkRelativeLinkFlags");
    const std::size_t netNameOffset = in.U32(link + 8, linkEnd, "NetNameOffset");
    const std::size_t deviceNameOffset = in.U32(link + 12, linkEnd, "DeviceNameOffset");
    if (netNameOffset > 0x14) {
      const std::size_t netUnicode = in.U32(link + 20, linkEnd, "NetNameOffsetUnicode");
      const std::size_t deviceUnicode = in.U32(link + 24, linkEnd, "DeviceNameOffsetUnicode");
      info.netName = in.UnicodeZ(link + netUnicode, linkEnd, "NetNameUnicode");
      if ((linkFlags & 0x1) != 0) info.deviceName = in.UnicodeZ(link + deviceUnicode, linkEnd, "DeviceNameUnicode");
    } else {
      info.netName = in.AnsiZ(link + netNameOffset, linkEnd, "NetName");
      if ((linkFlags & 0x1) != 0) info.deviceName = in.AnsiZ(link + deviceNameOffset, linkEnd, "DeviceName");
    }
  }
  if (suffixOffset != 0) info.commonPathSuffix = in.AnsiZ(pos + suffixOffset, end, "CommonPathSuffix");
  if (suffixUnicodeOffset != 0) {
    info.commonPathSuffixUnicode = in.UnicodeZ(pos + suffixUnicodeOffset, end, "CommonPathSuffixUnicode");
  }
  return end;
}

std::size_t ReadString(const Cursor& in, std::size_t pos, bool unicode, std::string_view what, ShortcutString& out) {
  const std::size_t count = in.U16(pos, in.Size(), what);
  const std::size_t unit = unicode ? 2 : 1;
  const auto chars = in.Span(pos + 2, count * unit, in.Size(), what);
  out.present = true;
  out.count = static_cast<std::uint16_t>(count);
  const auto isNul = [&](std::size_t i) { return unicode ? chars[2 * i] == 0 && chars[2 * i + 1] == 0 : chars[i] == 0; };
  const auto decode = [&](std::size_t first, std::size_t last) {
    const auto part = chars.subspan(first * unit, (last - first) * unit);
    return unicode ? Utf16LeToUtf8(part) : AnsiToUtf8(part);
  };
  std::size_t firstNul = 0;
  while (firstNul < count && !isNul(firstNul)) ++firstNul;
  std::size_t lastContent = count;
  while (lastContent > firstNul && isNul(lastContent - 1)) --lastContent;
  out.text = decode(0, firstNul);
  out.countedNul = count > 0 && isNul(count - 1);
  if (lastContent > firstNul + 1) out.afterNul = decode(firstNul + 1, lastContent);
  return pos + 2 + count * unit;
}

EnvironmentPath ReadPathBlock(const Cursor& in, std::size_t pos, std::size_t end, std::string_view what) {
  in.Need(pos, 0x314, end, what);
  EnvironmentPath path;
  path.present = true;
  path.ansi = FixedAnsi(in.Span(pos + 8, 260, end, what));
  path.unicode = FixedUnicode(in.Span(pos + 268, 520, end, what));
  return path;
}

void ReadExtraData(const Cursor& in, std::size_t pos, Shortcut& out) {
  while (true) {
    const std::size_t size = in.U32(pos, in.Size(), "an extra data block size");
    if (size < 4) {
      out.bytesUsed = pos + 4;
      return;
    }
    const std::size_t end = pos + size;
    in.Need(pos, std::max<std::size_t>(size, 8), in.Size(), "an extra data block");
    const std::uint32_t signature = in.U32(pos + 4, end, "an extra data block signature");
    out.blockSignatures.push_back(signature);
    const bool first = std::count(out.blockSignatures.begin(), out.blockSignatures.end(), signature) == 1;
    switch (signature) {
      case block_signature::kEnvironment: {
        EnvironmentPath path = ReadPathBlock(in, pos, end, "the environment block");
        if (first) out.environment = std::move(path);
        break;
      }
      case block_signature::kIconEnvironment: {
        EnvironmentPath path = ReadPathBlock(in, pos, end, "the icon environment block");
        if (first) out.iconEnvironment = std::move(path);
        break;
      }
      case block_signature::kDarwin: {
        EnvironmentPath path = ReadPathBlock(in, pos, end, "the Darwin block");
        if (first) out.darwin = std::move(path);
        break;
      }
      case block_signature::kKnownFolder: {
        in.Need(pos, 0x1C, end, "the known folder block");
        if (first) {
          out.knownFolder.present = true;
          out.knownFolder.knownFolderId = GuidText(in.Span(pos + 8, 16, end, "KnownFolderID"));
          out.knownFolder.offset = in.U32(pos + 24, end, "the known folder offset");
        }
        break;
      }
      case block_signature::kSpecialFolder: {
        in.Need(pos, 0x10, end, "the special folder block");
        if (first) {
          out.specialFolder.present = true;
          out.specialFolder.specialFolderId = in.U32(pos + 8, end, "SpecialFolderID");
          out.specialFolder.offset = in.U32(pos + 12, end, "the special folder offset");
        }
        break;
      }
      case block_signature::kTracker: {
        in.Need(pos, 0x20, end, "the tracker block");
        if (first) out.trackerMachineId = FixedAnsi(in.Span(pos + 16, 16, end, "MachineID"));
        break;
      }
      case block_signature::kShim: {
        if (first) out.shimLayer = FixedUnicode(in.Span(pos + 8, size - 8, end, "the shim layer"));
        break;
      }
      default:
        break;
    }
    pos = end;
  }
}

// ---- Stated targets

// A stretch of characters an ANSI path may have lost: non-ASCII, or the '?' Windows writes for
// a character its code page lacks.
bool IsUnsure(char32_t code) { return code >= 0x80 || code == U'?'; }

// Whether the ANSI path `ansi` may be the path `other` (both PathKey forms).
bool AnsiMatches(std::string_view ansi, std::string_view other) {
  std::size_t a = 0;
  std::size_t b = 0;
  while (a < ansi.size() && b < other.size()) {
    std::size_t nextA = a;
    const char32_t codeA = NextCodePoint(ansi, nextA);
    if (!IsUnsure(codeA)) {
      if (ansi[a] != other[b]) return false;
      ++a;
      ++b;
      continue;
    }
    // A stretch of unsure characters stands for a stretch of non-ASCII ones.
    while (a < ansi.size()) {
      std::size_t next = a;
      if (!IsUnsure(NextCodePoint(ansi, next))) break;
      a = next;
    }
    std::size_t taken = 0;
    while (b < other.size()) {
      std::size_t next = b;
      if (!IsUnsure(NextCodePoint(other, next))) break;
      b = next;
      ++taken;
    }
    if (taken == 0) return false;
  }
  return a == ansi.size() && b == other.size();
}

struct Comparable {
  std::string key;
  bool ansi = false;
};

bool Agree(const Comparable& x, const Comparable& y) {
  if (x.key == y.key) return true;
  if (x.ansi && AnsiMatches(x.key, y.key)) return true;
  return y.ansi && AnsiMatches(y.key, x.key);
}

// The components of a path key.
std::vector<std::string_view> KeyParts(std::string_view key) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == '\\') {
      if (i > start) parts.push_back(key.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// The relative path as a key, without its leading "." and ".." components.
std::string RelativeTail(std::string_view relative) {
  const std::string key = PathKey(relative);
  const std::vector<std::string_view> parts = KeyParts(key);
  std::size_t skip = 0;
  while (skip < parts.size() && (parts[skip] == "." || parts[skip] == "..")) ++skip;
  std::string tail;
  for (std::size_t i = skip; i < parts.size(); ++i) {
    if (!tail.empty()) tail += '\\';
    tail += parts[i];
  }
  return tail;
}

// The last `count` components of a key.
std::string LastParts(std::string_view key, std::size_t count) {
  const std::vector<std::string_view> parts = KeyParts(key);
  std::string tail;
  for (std::size_t i = parts.size() > count ? parts.size() - count : 0; i < parts.size(); ++i) {
    if (!tail.empty()) tail += '\\';
    tail += parts[i];
  }
  return tail;
}

void StateTargets(const Environment& environment, Shortcut& out) {
  const auto add = [&](TargetPlace place, const std::string& path) {
    if (!path.empty()) out.targets.push_back({place, path});
  };
  if (IsDriveText(out.idListPath) || out.idListPath.rfind("\\\\", 0) == 0) add(TargetPlace::IdList, out.idListPath);
  const LinkInfo& info = out.linkInfo;
  if (info.present) {
    if (info.hasVolume) {
      add(TargetPlace::LinkInfo, JoinSuffix(info.localBasePath, info.commonPathSuffix));
      if (!info.localBasePathUnicode.empty()) {
        add(TargetPlace::LinkInfoUnicode,
            JoinSuffix(info.localBasePathUnicode, info.commonPathSuffixUnicode.empty() ? info.commonPathSuffix
                                                                                      : info.commonPathSuffixUnicode));
      }
    } else if (info.hasNetwork) {
      add(TargetPlace::LinkInfo, JoinSuffix(info.netName, info.commonPathSuffix));
    }
  }
  if (out.environment.present) {
    add(TargetPlace::EnvironmentAnsi, out.environment.ansi);
    add(TargetPlace::EnvironmentUnicode, out.environment.unicode);
  }
  if (out.relativePath.present) add(TargetPlace::RelativePath, out.relativePath.text);

  std::vector<Comparable> absolute;
  std::vector<std::string> relative;
  for (const StatedTarget& target : out.targets) {
    const bool fromEnvironment =
        target.place == TargetPlace::EnvironmentAnsi || target.place == TargetPlace::EnvironmentUnicode;
    const std::string path = fromEnvironment ? ExpandEnvironment(target.path, environment) : target.path;
    if (target.place == TargetPlace::RelativePath) {
      relative.push_back(RelativeTail(path));
      continue;
    }
    if (fromEnvironment && path.find('%') != std::string::npos) continue;
    const bool ansi = target.place == TargetPlace::LinkInfo || target.place == TargetPlace::EnvironmentAnsi;
    absolute.push_back({PathKey(path), ansi});
  }
  for (std::size_t i = 0; i < absolute.size(); ++i) {
    for (std::size_t j = i + 1; j < absolute.size(); ++j) {
      if (!Agree(absolute[i], absolute[j])) out.targetsDisagree = true;
    }
  }
  const bool relativeAnsi = !out.Has(link_flag::kIsUnicode);
  for (const std::string& tail : relative) {
    if (tail.empty()) continue;
    const std::size_t count = KeyParts(tail).size();
    for (const Comparable& path : absolute) {
      if (!Agree({LastParts(path.key, count), path.ansi}, {tail, relativeAnsi})) out.targetsDisagree = true;
    }
  }
}

void Read(const Cursor& in, Shortcut& out) {
  ReadHeader(in, out);
  std::size_t pos = kHeaderSize;
  if (out.Has(link_flag::kHasLinkTargetIdList)) pos = ReadIdList(in, pos, out);
  if (out.Has(link_flag::kHasLinkInfo)) pos = ReadLinkInfo(in, pos, out);
  const bool unicode = out.Has(link_flag::kIsUnicode);
  if (out.Has(link_flag::kHasName)) pos = ReadString(in, pos, unicode, "NAME_STRING", out.name);
  if (out.Has(link_flag::kHasRelativePath)) pos = ReadString(in, pos, unicode, "RELATIVE_PATH", out.relativePath);
  if (out.Has(link_flag::kHasWorkingDir)) pos = ReadString(in, pos, unicode, "WORKING_DIR", out.workingDir);
  if (out.Has(link_flag::kHasArguments)) pos = ReadString(in, pos, unicode, "COMMAND_LINE_ARGUMENTS", out.arguments);
  if (out.Has(link_flag::kHasIconLocation)) pos = ReadString(in, pos, unicode, "ICON_LOCATION", out.iconLocation);
  ReadExtraData(in, pos, out);
}

}  // namespace

Shortcut ReadShortcut(std::span<const std::uint8_t> bytes, const Environment& environment) {
  Shortcut out;
  if (bytes.size() > kMaxShortcutBytes) {
    out.damage = Damage::TooLarge;
    out.damageText = "the file is larger than " + GroupedNumber(kMaxShortcutBytes) + " bytes";
    return out;
  }
  try {
    Read(Cursor(bytes), out);
  } catch (const OutOfBounds& fault) {
    out.damage = Damage::BeyondEnd;
    out.damageText = fault.what + " needs bytes up to " + Hex(fault.needed) + ", but its part ends at " +
                     Hex(fault.limit);
    out.damageNeeded = fault.needed;
    out.damageLimit = fault.limit;
  } catch (const Damage damage) {
    out.damage = damage;
    out.damageText = "the header is not that of a shortcut";
  } catch (const std::exception& error) {
    out.damage = Damage::BeyondEnd;
    out.damageText = std::string("the file could not be read: ") + error.what();
  }
  try {
    StateTargets(environment, out);
    std::string arguments = out.arguments.text;
    if (!out.arguments.afterNul.empty()) {
      arguments += '\0';
      arguments += out.arguments.afterNul;
    }
    out.argumentsVisible = VisibleText(arguments);
  } catch (const std::exception&) {
    out.targets.clear();
    out.argumentsVisible.clear();
  }
  return out;
}

std::vector<CommandAnalysis> AnalyzeShortcut(const Shortcut& link, const Environment& environment) {
  std::vector<Comparable> seen;
  std::vector<CommandAnalysis> analyses;
  const auto analyze = [&](const StatedTarget& target) {
    const std::string path = ExpandEnvironment(target.path, environment);
    const bool ansi = target.place == TargetPlace::LinkInfo || target.place == TargetPlace::EnvironmentAnsi;
    const Comparable key{PathKey(path), ansi};
    for (const Comparable& earlier : seen) {
      if (Agree(earlier, key)) return;
    }
    seen.push_back(key);
    analyses.push_back(AnalyzeProgram(path, link.arguments.text, environment));
  };
  for (const StatedTarget& target : link.targets) {
    if (target.place != TargetPlace::RelativePath) analyze(target);
  }
  if (analyses.empty()) {
    for (const StatedTarget& target : link.targets) {
      if (target.place == TargetPlace::RelativePath) analyze(target);
    }
  }
  return analyses;
}

std::string_view TargetPlaceText(TargetPlace place) {
  switch (place) {
    case TargetPlace::IdList:
      return "ID list";
    case TargetPlace::LinkInfo:
      return "LinkInfo";
    case TargetPlace::LinkInfoUnicode:
      return "LinkInfo (Unicode)";
    case TargetPlace::EnvironmentAnsi:
      return "environment block";
    case TargetPlace::EnvironmentUnicode:
      return "environment block (Unicode)";
    case TargetPlace::RelativePath:
      return "relative path";
  }
  return "ID list";
}

std::string ShowCommandText(std::uint32_t showCommand) {
  switch (showCommand) {
    case kShowNormal:
      return "normal window";
    case kShowMaximized:
      return "maximized";
    case kShowMinNoActive:
      return "minimized, without focus";
    default:
      return "value " + std::to_string(showCommand);
  }
}

}  // namespace tidewick::readers
