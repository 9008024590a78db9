// A writer of shortcut (.lnk) bytes for tests, field by field: the header, an ID list spelled
// from a path, a LinkInfo, the five strings, extra data blocks. It writes what the format
// says and what Windows and Wine write, and with Layout() the tests find the offsets where a
// file can be cut or a count made wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::testing {

class ShortcutWriter {
 public:
  enum class Field { Name, RelativePath, WorkingDir, Arguments, IconLocation };

  // The extension block as Wine writes it: version and signature zero, the long name at 20.
  static constexpr int kWineExtension = -1;

  struct IdListOptions {
    int extensionVersion = 9;      // the BEEF0004 block of each file item: 3, 7, 8, 9,
                                   // kWineExtension; 0: none
    bool lastIsFolder = false;     // the last component is a folder item, not a file item
    bool unicodePrimary = false;   // class 0x35/0x36: the item's own name in UTF-16
  };

  // ---- Header
  ShortcutWriter& ShowCommand(std::uint32_t value);
  ShortcutWriter& IconIndex(std::int32_t value);
  ShortcutWriter& FileAttributes(std::uint32_t value);
  ShortcutWriter& AddFlags(std::uint32_t flags);     // set besides those the parts give
  ShortcutWriter& RemoveFlags(std::uint32_t flags);  // cleared from those
  // Strings as ANSI: IsUnicode clear, and each string written as the bytes it is given.
  ShortcutWriter& Ansi();
  // Counts that include a trailing NUL, which is written too (as Wine writes them).
  ShortcutWriter& NulCounted();

  // ---- ID list
  // "C:\Windows\System32\cmd.exe" as My Computer, the volume "C:\" and one item per component.
  ShortcutWriter& IdListPath(std::string_view path, IdListOptions options);
  ShortcutWriter& IdListPath(std::string_view path) { return IdListPath(path, IdListOptions{}); }
  // One item as raw bytes (its 2-byte size first), after those already given.
  ShortcutWriter& IdListItem(std::vector<std::uint8_t> item);

  // ---- LinkInfo
  // A local path: base plus suffix, ANSI (characters beyond Latin-1 written as '?'), and with
  // `unicode` the Unicode fields too.
  ShortcutWriter& LinkInfoLocal(std::string_view basePath, std::string_view suffix = "", bool unicode = false,
                                std::uint32_t driveType = 2, std::string_view label = "");
  ShortcutWriter& LinkInfoNetwork(std::string_view netName, std::string_view suffix);

  // ---- The five strings
  ShortcutWriter& String(Field field, std::string_view text);
  ShortcutWriter& Name(std::string_view text) { return String(Field::Name, text); }
  ShortcutWriter& RelativePath(std::string_view text) { return String(Field::RelativePath, text); }
  ShortcutWriter& WorkingDir(std::string_view text) { return String(Field::WorkingDir, text); }
  ShortcutWriter& Arguments(std::string_view text) { return String(Field::Arguments, text); }
  ShortcutWriter& IconLocation(std::string_view text) { return String(Field::IconLocation, text); }

  // ---- Extra data blocks, in the order given
  ShortcutWriter& EnvironmentTarget(std::string_view ansi, std::string_view unicode);
  ShortcutWriter& IconEnvironment(std::string_view ansi, std::string_view unicode);
  ShortcutWriter& KnownFolder(const std::uint8_t (&guid)[16], std::uint32_t offset);
  ShortcutWriter& SpecialFolder(std::uint32_t csidl, std::uint32_t offset);
  ShortcutWriter& Tracker(std::string_view machine);
  ShortcutWriter& RawBlock(std::vector<std::uint8_t> block);
  ShortcutWriter& NoTerminalBlock();

  std::vector<std::uint8_t> Bytes() const;

  // Where each part starts in Bytes().
  struct Layout {
    std::size_t idList = 0;      // the IDListSize field (0: none)
    std::size_t linkInfo = 0;    // LinkInfoSize (0: none)
    std::vector<std::size_t> strings;  // each string's count field, in file order
    std::size_t extraData = 0;   // the first extra data block
    std::size_t terminal = 0;    // the terminal block
    std::size_t end = 0;         // the size of the file
  };
  Layout LayoutOf() const;

 private:
  std::vector<std::uint8_t> Build(Layout* layout) const;

  std::uint32_t show_ = 1;
  std::int32_t iconIndex_ = 0;
  std::uint32_t attributes_ = 0;
  std::uint32_t addFlags_ = 0;
  std::uint32_t removeFlags_ = 0;
  bool ansi_ = false;
  bool nulCounted_ = false;
  std::vector<std::vector<std::uint8_t>> idItems_;
  std::vector<std::uint8_t> linkInfo_;
  std::optional<std::string> strings_[5];
  std::vector<std::vector<std::uint8_t>> blocks_;
  bool terminal_ = true;
};

// UTF-16LE bytes of UTF-8 text (no NUL added).
std::vector<std::uint8_t> Utf16Bytes(std::string_view utf8);

}  // namespace tidewick::testing
