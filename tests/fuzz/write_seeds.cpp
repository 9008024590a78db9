// Writes the seed files of the shortcut and autorun.inf fuzz targets, made by the test writer
// (tests/support): harmless files laid out as the families' links and autorun files are.
//   write_seeds <corpus folder>     writes <folder>/shortcut/*.lnk and <folder>/autorun/*.inf
#include "readers/shortcut.h"
#include "tests/support/shortcut_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tidewick::testing::ShortcutWriter;

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Write(const std::filesystem::path& path, const std::string& text) {
  Write(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_seeds <corpus folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const std::filesystem::path links = root / "shortcut";
  const std::filesystem::path infs = root / "autorun";
  std::filesystem::create_directories(links);
  std::filesystem::create_directories(infs);

  ShortcutWriter worm;
  worm.IdListPath("C:\\Windows\\System32\\cmd.exe")
      .LinkInfoLocal("C:\\Windows\\System32\\cmd.exe", "", true, 3)
      .Arguments("/c start a.vbs&start explorer My\" \"Photos&exit")
      .IconLocation("%SystemRoot%\\System32\\shell32.dll")
      .IconIndex(3)
      .ShowCommand(tidewick::readers::kShowMinNoActive);
  Write(links / "worm.lnk", worm.Bytes());

  ShortcutWriter plain;
  plain.IdListPath("E:\\Docs\\report.pdf", {.extensionVersion = 8})
      .LinkInfoLocal("E:\\Docs\\report.pdf", "", true)
      .RelativePath(".\\Docs\\report.pdf")
      .WorkingDir("E:\\Docs");
  Write(links / "plain.lnk", plain.Bytes());

  ShortcutWriter wine;
  wine.NulCounted().LinkInfoLocal("C:\\windows\\system32\\", "wscript.exe").Arguments("//B x.vbs").WorkingDir("E:\\");
  Write(links / "wine-counts.lnk", wine.Bytes());

  ShortcutWriter ansi;
  ansi.Ansi().LinkInfoNetwork("\\\\server\\share", "caf\xC3\xA9.txt").Arguments("caf\xE9 \x80").Name("Docs");
  Write(links / "ansi-network.lnk", ansi.Bytes());

  ShortcutWriter padded;
  padded.LinkInfoLocal("C:\\Windows\\System32\\cmd.exe")
      .Arguments("/c start a.vbs" + std::string(300, ' ') + "\t\n\a&start explorer Docs");
  Write(links / "padded.lnk", padded.Bytes());

  static constexpr std::uint8_t kDocuments[16] = {0xD0, 0x9A, 0xD3, 0xFD, 0x8F, 0x23, 0xAF, 0x46,
                                                  0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7};
  ShortcutWriter blocks;
  blocks.IdListPath("C:\\Users\\u\\Documents\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", {.extensionVersion = 3, .lastIsFolder = true})
      .IdListItem({0x08, 0x00, 0x74, 0x1A, 0x43, 0x46, 0x53, 0x46})
      .EnvironmentTarget("%USERPROFILE%\\Documents", "%USERPROFILE%\\Documents")
      .KnownFolder(kDocuments, 0x55)
      .SpecialFolder(0x05, 0x55)
      .Tracker("desk-7");
  Write(links / "blocks.lnk", blocks.Bytes());

  Write(infs / "icon-label.inf", std::string("[autorun]\r\nicon=Brand.ico,0\r\nlabel=Brand Stick\r\naction=Open\r\n"));
  Write(infs / "worm.inf",
        std::string("; comment\r\n[AutoRun]\r\nOPEN=RECYCLER\\S-5-3-42\\x.exe\r\nshell\\open\\command=RECYCLER\\x.exe -o\r\n"
                    "shellexecute=wscript /e:vbs winfile.jpg\r\n[autorun.amd64]\r\nopen=\"cmd.exe\" /c start a.vbs&exit\r\n"));
  std::vector<std::uint8_t> utf16 = {0xFF, 0xFE};
  const std::vector<std::uint8_t> units = tidewick::testing::Utf16Bytes("[autorun]\r\nlabel=\xD0\xA4\xD0\xBE\r\nopen=%TEMP%\\a.exe\r\n");
  utf16.insert(utf16.end(), units.begin(), units.end());
  Write(infs / "utf16.inf", utf16);
  return 0;
}
