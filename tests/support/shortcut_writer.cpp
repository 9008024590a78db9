// The test writer of shortcut bytes.
#include "tests/support/shortcut_writer.h"

#include "readers/shortcut.h"
#include "readers/text_decode.h"

#include <cctype>

namespace tidewick::testing {
namespace {

namespace flag = readers::link_flag;

constexpr std::uint8_t kShellLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}, My Computer, as stored.
constexpr std::uint8_t kMyComputer[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                          0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

void PutU16(std::vector<std::uint8_t>& out, std::size_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, (value >> 16) & 0xFFFF);
}

void SetU16(std::vector<std::uint8_t>& out, std::size_t at, std::size_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void SetU32(std::vector<std::uint8_t>& out, std::size_t at, std::size_t value) {
  SetU16(out, at, value & 0xFFFF);
  SetU16(out, at + 2, (value >> 16) & 0xFFFF);
}

void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendText(std::vector<std::uint8_t>& out, std::string_view bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// ANSI as a Windows-1252 machine writes it, roughly: Latin-1 as bytes, everything else '?'.
std::vector<std::uint8_t> AnsiBytes(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code = readers::NextCodePoint(utf8, pos);
    const bool latin1 = code < 0x80 || (code >= 0xA0 && code <= 0xFF);
    out.push_back(latin1 ? static_cast<std::uint8_t>(code) : static_cast<std::uint8_t>('?'));
  }
  return out;
}

std::vector<std::uint8_t> AnsiZ(std::string_view utf8) {
  std::vector<std::uint8_t> bytes = AnsiBytes(utf8);
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> UnicodeZ(std::string_view utf8);

// Appends `bytes` to a structure and writes where they start into its offset field at `field`.
void AppendAt(std::vector<std::uint8_t>& structure, std::size_t field, const std::vector<std::uint8_t>& bytes) {
  SetU32(structure, field, structure.size());
  Append(structure, bytes);
}

bool FitsShortName(std::string_view name) {
  const std::size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string_view::npos) return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == ' ') return false;
  }
  return true;
}

// The 8.3 name Windows would give: the name itself when it fits, else "NAMEXX~1.EXT".
std::string ShortName(std::string_view name) {
  if (FitsShortName(name)) return std::string(name);
  const std::size_t dot = name.rfind('.');
  std::string base;
  for (const char c : name.substr(0, dot)) {
    if (std::isalnum(static_cast<unsigned char>(c)) && base.size() < 6) {
      base += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  if (base.empty()) base = "_";
  std::string shortName = base + "~1";
  if (dot != std::string_view::npos) {
    std::string ext;
    for (const char c : name.substr(dot + 1)) {
      if (std::isalnum(static_cast<unsigned char>(c)) && ext.size() < 3) {
        ext += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    if (!ext.empty()) shortName += "." + ext;
  }
  return shortName;
}

// A file entry item: its own name, then the BEEF0004 block with the long name.
std::vector<std::uint8_t> FileItem(std::string_view name, bool folder, const ShortcutWriter::IdListOptions& options) {
  std::vector<std::uint8_t> item;
  PutU16(item, 0);  // size, set at the end
  const std::uint8_t type = static_cast<std::uint8_t>((folder ? 0x31 : 0x32) | (options.unicodePrimary ? 0x04 : 0));
  item.push_back(type);
  item.push_back(0);
  PutU32(item, folder ? 0 : 1234);  // file size
  PutU32(item, 0x5A2C3969);         // modification date and time
  PutU16(item, folder ? 0x10 : 0x20);
  const std::string primary = options.unicodePrimary ? std::string(name) : ShortName(name);
  if (options.unicodePrimary) {
    Append(item, Utf16Bytes(primary));
    PutU16(item, 0);
  } else {
    AppendText(item, primary);
    item.push_back(0);
    if (item.size() % 2 != 0) item.push_back(0);
  }
  const int version = options.extensionVersion;
  if (version >= 3 || version == ShortcutWriter::kWineExtension) {
    const std::size_t block = item.size();
    const std::size_t nameOffset = version >= 9 ? 46 : version == 8 ? 42 : version == 7 ? 38 : 20;
    const bool wine = version == ShortcutWriter::kWineExtension;
    PutU16(item, 0);  // block size, set below
    PutU16(item, wine ? 0 : static_cast<std::size_t>(version));
    PutU32(item, wine ? 0 : 0xBEEF0004);
    PutU32(item, 0x5A2C3965);  // creation
    PutU32(item, 0x5A2C3969);  // last access
    PutU16(item, version >= 9 ? 0x2E : version == 8 ? 0x2A : version == 7 ? 0x26 : wine ? 0 : 0x14);
    while (item.size() < block + nameOffset) item.push_back(0);  // NTFS reference, sizes: zero
    Append(item, Utf16Bytes(name));
    PutU16(item, 0);
    PutU16(item, block);  // offset of the block within the item
    SetU16(item, block, item.size() - block);
  }
  SetU16(item, 0, item.size());
  return item;
}

}  // namespace

std::vector<std::uint8_t> Utf16Bytes(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code = readers::NextCodePoint(utf8, pos);
    if (code >= 0x10000) {
      const char32_t value = code - 0x10000;
      PutU16(out, 0xD800 + (value >> 10));
      PutU16(out, 0xDC00 + (value & 0x3FF));
    } else {
      PutU16(out, code);
    }
  }
  return out;
}

namespace {

std::vector<std::uint8_t> UnicodeZ(std::string_view utf8) {
  std::vector<std::uint8_t> units = Utf16Bytes(utf8);
  units.push_back(0);
  units.push_back(0);
  return units;
}

}  // namespace

ShortcutWriter& ShortcutWriter::ShowCommand(std::uint32_t value) {
  show_ = value;
  return *this;
}

ShortcutWriter& ShortcutWriter::IconIndex(std::int32_t value) {
  iconIndex_ = value;
  return *this;
}

ShortcutWriter& ShortcutWriter::FileAttributes(std::uint32_t value) {
  attributes_ = value;
  return *this;
}

ShortcutWriter& ShortcutWriter::AddFlags(std::uint32_t flags) {
  addFlags_ |= flags;
  return *this;
}

ShortcutWriter& ShortcutWriter::RemoveFlags(std::uint32_t flags) {
  removeFlags_ |= flags;
  return *this;
}

ShortcutWriter& ShortcutWriter::Ansi() {
  ansi_ = true;
  return *this;
}

ShortcutWriter& ShortcutWriter::NulCounted() {
  nulCounted_ = true;
  return *this;
}

ShortcutWriter& ShortcutWriter::IdListPath(std::string_view path, IdListOptions options) {
  std::vector<std::uint8_t> root;
  PutU16(root, 0x14);
  root.push_back(0x1F);
  root.push_back(0x50);
  root.insert(root.end(), std::begin(kMyComputer), std::end(kMyComputer));
  idItems_.push_back(root);

  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  if (parts.empty()) return *this;
  std::vector<std::uint8_t> volume;
  PutU16(volume, 0x19);
  volume.push_back(0x2F);
  AppendText(volume, parts[0]);
  volume.push_back('\\');
  while (volume.size() < 0x19) volume.push_back(0);
  idItems_.push_back(volume);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    idItems_.push_back(FileItem(parts[i], !last || options.lastIsFolder, options));
  }
  return *this;
}

ShortcutWriter& ShortcutWriter::IdListItem(std::vector<std::uint8_t> item) {
  idItems_.push_back(std::move(item));
  return *this;
}

ShortcutWriter& ShortcutWriter::LinkInfoLocal(std::string_view basePath, std::string_view suffix, bool unicode,
                                              std::uint32_t driveType, std::string_view label) {
  const std::size_t headerSize = unicode ? 0x24 : 0x1C;
  std::vector<std::uint8_t> volume;
  PutU32(volume, 0);  // size, below
  PutU32(volume, driveType);
  PutU32(volume, 0x1234ABCD);
  PutU32(volume, 0x10);
  Append(volume, AnsiZ(label));
  SetU32(volume, 0, volume.size());

  std::vector<std::uint8_t> info(headerSize, 0);
  SetU32(info, 4, headerSize);
  SetU32(info, 8, 0x1);
  AppendAt(info, 12, volume);
  AppendAt(info, 16, AnsiZ(basePath));
  AppendAt(info, 24, AnsiZ(suffix));
  if (unicode) {
    AppendAt(info, 28, UnicodeZ(basePath));
    AppendAt(info, 32, UnicodeZ(suffix));
  }
  SetU32(info, 0, info.size());
  linkInfo_ = std::move(info);
  return *this;
}

ShortcutWriter& ShortcutWriter::LinkInfoNetwork(std::string_view netName, std::string_view suffix) {
  std::vector<std::uint8_t> link(0x14, 0);  // no device name, no provider
  AppendAt(link, 8, AnsiZ(netName));
  SetU32(link, 0, link.size());

  std::vector<std::uint8_t> info(0x1C, 0);
  SetU32(info, 4, 0x1C);
  SetU32(info, 8, 0x2);
  AppendAt(info, 20, link);
  AppendAt(info, 24, AnsiZ(suffix));
  SetU32(info, 0, info.size());
  linkInfo_ = std::move(info);
  return *this;
}

ShortcutWriter& ShortcutWriter::String(Field field, std::string_view text) {
  strings_[static_cast<int>(field)] = std::string(text);
  return *this;
}

namespace {

std::vector<std::uint8_t> PathBlock(std::uint32_t signature, std::string_view ansi, std::string_view unicode) {
  std::vector<std::uint8_t> block;
  PutU32(block, 0x314);
  PutU32(block, signature);
  std::vector<std::uint8_t> ansiField = AnsiBytes(ansi);
  ansiField.resize(260, 0);
  Append(block, ansiField);
  std::vector<std::uint8_t> unicodeField = Utf16Bytes(unicode);
  unicodeField.resize(520, 0);
  Append(block, unicodeField);
  return block;
}

}  // namespace

ShortcutWriter& ShortcutWriter::EnvironmentTarget(std::string_view ansi, std::string_view unicode) {
  addFlags_ |= flag::kHasExpString;
  blocks_.push_back(PathBlock(readers::block_signature::kEnvironment, ansi, unicode));
  return *this;
}

ShortcutWriter& ShortcutWriter::IconEnvironment(std::string_view ansi, std::string_view unicode) {
  addFlags_ |= flag::kHasExpIcon;
  blocks_.push_back(PathBlock(readers::block_signature::kIconEnvironment, ansi, unicode));
  return *this;
}

ShortcutWriter& ShortcutWriter::KnownFolder(const std::uint8_t (&guid)[16], std::uint32_t offset) {
  std::vector<std::uint8_t> block;
  PutU32(block, 0x1C);
  PutU32(block, readers::block_signature::kKnownFolder);
  block.insert(block.end(), std::begin(guid), std::end(guid));
  PutU32(block, offset);
  blocks_.push_back(block);
  return *this;
}

ShortcutWriter& ShortcutWriter::SpecialFolder(std::uint32_t csidl, std::uint32_t offset) {
  std::vector<std::uint8_t> block;
  PutU32(block, 0x10);
  PutU32(block, readers::block_signature::kSpecialFolder);
  PutU32(block, csidl);
  PutU32(block, offset);
  blocks_.push_back(block);
  return *this;
}

ShortcutWriter& ShortcutWriter::Tracker(std::string_view machine) {
  std::vector<std::uint8_t> block;
  PutU32(block, 0x60);
  PutU32(block, readers::block_signature::kTracker);
  PutU32(block, 0x58);
  PutU32(block, 0);
  std::vector<std::uint8_t> name = AnsiBytes(machine);
  name.resize(16, 0);
  Append(block, name);
  block.resize(0x60, 0x11);  // the two object ids
  blocks_.push_back(block);
  return *this;
}

ShortcutWriter& ShortcutWriter::RawBlock(std::vector<std::uint8_t> block) {
  blocks_.push_back(std::move(block));
  return *this;
}

ShortcutWriter& ShortcutWriter::NoTerminalBlock() {
  terminal_ = false;
  return *this;
}

std::vector<std::uint8_t> ShortcutWriter::Bytes() const { return Build(nullptr); }

ShortcutWriter::Layout ShortcutWriter::LayoutOf() const {
  Layout layout;
  Build(&layout);
  return layout;
}

std::vector<std::uint8_t> ShortcutWriter::Build(Layout* layout) const {
  Layout where;
  std::uint32_t flags = 0;
  if (!idItems_.empty()) flags |= flag::kHasLinkTargetIdList;
  if (!linkInfo_.empty()) flags |= flag::kHasLinkInfo;
  static constexpr std::uint32_t kStringFlags[5] = {flag::kHasName, flag::kHasRelativePath, flag::kHasWorkingDir,
                                                    flag::kHasArguments, flag::kHasIconLocation};
  for (int i = 0; i < 5; ++i) {
    if (strings_[i]) flags |= kStringFlags[i];
  }
  if (!ansi_) flags |= flag::kIsUnicode;
  flags = (flags | addFlags_) & ~removeFlags_;

  std::vector<std::uint8_t> out;
  PutU32(out, 0x4C);
  out.insert(out.end(), std::begin(kShellLinkClassId), std::end(kShellLinkClassId));
  PutU32(out, flags);
  PutU32(out, attributes_);
  for (int i = 0; i < 3; ++i) {
    PutU32(out, 0xF2EEE9D0);
    PutU32(out, 0x01C91515);
  }
  PutU32(out, 0);  // file size
  PutU32(out, static_cast<std::uint32_t>(iconIndex_));
  PutU32(out, show_);
  PutU16(out, 0);  // hot key
  PutU16(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);

  if (!idItems_.empty()) {
    where.idList = out.size();
    std::size_t size = 2;
    for (const auto& item : idItems_) size += item.size();
    PutU16(out, size);
    for (const auto& item : idItems_) Append(out, item);
    PutU16(out, 0);
  }
  if (!linkInfo_.empty()) {
    where.linkInfo = out.size();
    Append(out, linkInfo_);
  }
  for (const auto& text : strings_) {
    if (!text) continue;
    where.strings.push_back(out.size());
    if (ansi_) {
      PutU16(out, text->size() + (nulCounted_ ? 1 : 0));
      AppendText(out, *text);
      if (nulCounted_) out.push_back(0);
    } else {
      const std::vector<std::uint8_t> units = Utf16Bytes(*text);
      PutU16(out, units.size() / 2 + (nulCounted_ ? 1 : 0));
      Append(out, units);
      if (nulCounted_) PutU16(out, 0);
    }
  }
  where.extraData = out.size();
  for (const auto& block : blocks_) Append(out, block);
  where.terminal = out.size();
  if (terminal_) PutU32(out, 0);
  where.end = out.size();
  if (layout != nullptr) *layout = where;
  return out;
}

}  // namespace tidewick::testing
