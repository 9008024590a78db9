// The drive cleaner against the bad-input corpus: a stick root with 2,000 ordinary entries of an
// infected stick and the awkward names a stick can carry (scripts outside the legacy code page,
// 255-character names, trailing dots and spaces, device names, [ ] #, " | ", a non-breaking
// space, read-only folders, virus extensions inside a name). bad_input_stick.sh seeds it from
// Linux, writes the table of what each entry must become, and checks the stick on disk after this
// program has ended; this program works the window as a person would and checks what it shows
// and says: both lists hold exactly the entries the table names, every marked entry and the whole
// virus list are taken by Delete, every entry that cannot go is reported by its own path, and the
// rebuilt lists show what is left.
#include "tests/e2e/driver/driver.h"
#include "tests/e2e/tidewick_app.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tidewick::e2e {
namespace {

const std::string kVirusFrame = "Select file to delete: (VIRUS)";
const std::string kUnknownFrame = "If you don't know that file, just mark and delete:";
const std::string kDeleteFailed = "Delete unsuccessful. Please do in Safe Mode OR try next boot(restart computer).";

// A scan or deletion of the whole corpus, and reading its lines back, take seconds under Wine.
constexpr Ms kLongCommand{120000};

// One root entry of the corpus and what must become of it (see bad_input_stick.sh).
struct Entry {
  std::string name;
  bool folder = false;
  std::string scan;   // virus, unknown or -
  bool marked = false;
  std::string fate;   // gone, stays or refused
  std::string after;  // virus, unknown, both or -
};

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<Entry> ReadCorpus(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DriverError("cannot read the corpus table " + path);
  std::vector<Entry> corpus;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
      fields.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    fields.push_back(line.substr(start));
    if (fields.size() != 7) throw DriverError("a corpus line with " + std::to_string(fields.size()) + " fields: " + line);
    corpus.push_back({fields[0], fields[1] == "d", fields[2], fields[3] == "1", fields[4], fields[6]});
  }
  return corpus;
}

std::multiset<std::string> Texts(const std::vector<ListLine>& lines) {
  std::multiset<std::string> texts;
  for (const ListLine& line : lines) texts.insert(line.text);
  return texts;
}

template <typename Keep>
std::multiset<std::string> Names(const std::vector<Entry>& corpus, Keep keep) {
  std::multiset<std::string> names;
  for (const Entry& entry : corpus) {
    if (keep(entry)) names.insert(entry.name);
  }
  return names;
}

// The names in one set and not the other, for a readable failure.
std::string Difference(const std::multiset<std::string>& shown, const std::multiset<std::string>& expected) {
  std::ostringstream out;
  int listed = 0;
  for (const std::string& name : shown) {
    if (expected.count(name) != shown.count(name) && listed++ < 20) out << "\n  shown but not expected: '" << name << "'";
  }
  for (const std::string& name : expected) {
    if (shown.count(name) != expected.count(name) && listed++ < 40) out << "\n  expected but not shown: '" << name << "'";
  }
  return out.str();
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

TEST(BadInputStick, ScanListsTheCorpusAndDeleteTakesExactlyWhatWasListedAndMarked) {
  const std::string stick = Env("TIDEWICK_E2E_STICK");
  const std::string table = Env("TIDEWICK_E2E_STICK_MANIFEST");
  ASSERT_FALSE(stick.empty() || table.empty()) << "run through bad_input_stick.sh, which seeds the stick";
  const std::vector<Entry> corpus = ReadCorpus(table);
  ASSERT_GT(corpus.size(), 2000u);

  app::Running tidewick = app::Start(app::MakeFolder(true));
  const DWORD pid = tidewick.process.Id();
  tidewick.main.Click("Pen Drive");
  Window rd = WaitForWindow(app::kPenDriveTitle, pid);
  Control devices = rd.ComboBox("Select Device");
  devices.Choose(stick);
  WaitFor([&] { return rd.Button("Scan", "Select Device").Usable(); }, "Scan to be enabled");

  // ---- Scan ----
  rd.Click("Scan", "Select Device");
  MsgBox ask = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(ask.Text(), "Are you sure to scan this device(" + stick + ")?");
  const auto scanStarted = std::chrono::steady_clock::now();
  ask.Answer("Yes");
  MsgBox scanned = WaitForMessageBox(pid, app::kBoxTitle, kLongCommand);
  const double scanSeconds = Seconds(scanStarted);
  EXPECT_EQ(scanned.Text(), "Scan complete. Delete file that you don't know.");
  scanned.Answer("OK");

  Control virus = rd.CheckList(kVirusFrame);
  Control unknown = rd.CheckList(kUnknownFrame);
  const auto readStarted = std::chrono::steady_clock::now();
  std::vector<ListLine> virusLines = virus.Lines();
  const double readSeconds = Seconds(readStarted);
  std::vector<ListLine> unknownLines = unknown.Lines();

  // Every entry the table lists, once, and nothing else: all 2,000 ordinary entries are there.
  const auto expectedVirus = Names(corpus, [](const Entry& e) { return e.scan == "virus"; });
  const auto expectedUnknown = Names(corpus, [](const Entry& e) { return e.scan == "unknown"; });
  EXPECT_EQ(virusLines.size(), expectedVirus.size());
  EXPECT_EQ(unknownLines.size(), expectedUnknown.size());
  EXPECT_TRUE(Texts(virusLines) == expectedVirus) << "virus list:" << Difference(Texts(virusLines), expectedVirus);
  EXPECT_TRUE(Texts(unknownLines) == expectedUnknown)
      << "unknown list:" << Difference(Texts(unknownLines), expectedUnknown);
  // "Delete All Virus (Recommended)" holds every virus line marked; nothing else is marked.
  EXPECT_TRUE(rd.CheckBox("Delete All Virus (Recommended)").Checked());
  EXPECT_TRUE(std::all_of(virusLines.begin(), virusLines.end(), [](const ListLine& l) { return l.marked; }));
  EXPECT_TRUE(std::none_of(unknownLines.begin(), unknownLines.end(), [](const ListLine& l) { return l.marked; }));
  EXPECT_FALSE(virus.Enabled());
  rd.Screenshot("bad-input-drive-after-scan");
  // The lists' ends, where the names outside Latin script stand, as a person scrolls to them.
  SendMessageW(virus.Handle(), LVM_ENSUREVISIBLE, virusLines.size() - 1, FALSE);
  SendMessageW(unknown.Handle(), LVM_ENSUREVISIBLE, unknownLines.size() - 1, FALSE);
  rd.Screenshot("bad-input-drive-after-scan-list-ends");

  // ---- Mark the chosen programs, then Delete ----
  const auto toMark = Names(corpus, [](const Entry& e) { return e.marked; });
  for (std::size_t i = 0; i < unknownLines.size(); ++i) {
    if (toMark.count(unknownLines[i].text) > 0) unknown.SetMark(static_cast<int>(i), true);
  }
  unknownLines = unknown.Lines();
  std::multiset<std::string> marked;
  for (const ListLine& line : unknownLines) {
    if (line.marked) marked.insert(line.text);
  }
  ASSERT_TRUE(marked == toMark) << "marked:" << Difference(marked, toMark);

  rd.Click("Delete", "Main");
  MsgBox sure = WaitForMessageBox(pid, app::kBoxTitle);
  EXPECT_EQ(sure.Text(), "Are you sure to delete this file(s)?");
  const auto deleteStarted = std::chrono::steady_clock::now();
  sure.Answer("Yes");
  // One message per entry that is still there, then the summary.
  std::multiset<std::string> refusals;
  std::string summary;
  for (int boxes = 0; boxes < 100 && summary.empty(); ++boxes) {
    MsgBox box = WaitForMessageBox(pid, app::kBoxTitle, kLongCommand);
    const std::string text = box.Text();
    if (text.rfind("Cannot delete file '", 0) == 0) {
      if (refusals.empty()) box.Screenshot("bad-input-drive-cannot-delete");
      refusals.insert(text);
    } else {
      summary = text;
    }
    box.Answer("OK");
  }
  const double deleteSeconds = Seconds(deleteStarted);

  std::multiset<std::string> expectedRefusals;
  for (const Entry& entry : corpus) {
    if (entry.fate == "refused") {
      expectedRefusals.insert("Cannot delete file '" + stick + entry.name + "' because file is being used.");
    }
  }
  EXPECT_TRUE(refusals == expectedRefusals) << "messages:" << Difference(refusals, expectedRefusals);
  EXPECT_EQ(summary, expectedRefusals.empty() ? "Delete complete!" : kDeleteFailed);

  // Both lists rebuilt from what is left on the stick.
  const auto virusAfter = Names(corpus, [](const Entry& e) { return e.after == "virus" || e.after == "both"; });
  const auto unknownAfter = Names(corpus, [](const Entry& e) { return e.after == "unknown" || e.after == "both"; });
  virusLines = virus.Lines();
  unknownLines = unknown.Lines();
  EXPECT_TRUE(Texts(virusLines) == virusAfter) << "virus list after Delete:" << Difference(Texts(virusLines), virusAfter);
  EXPECT_TRUE(Texts(unknownLines) == unknownAfter)
      << "unknown list after Delete:" << Difference(Texts(unknownLines), unknownAfter);
  EXPECT_TRUE(std::none_of(unknownLines.begin(), unknownLines.end(), [](const ListLine& l) { return l.marked; }));
  rd.Screenshot("bad-input-drive-after-delete");

  std::printf("[ timing ] %zu root entries: scan %.1f s, reading the %zu virus lines %.1f s, delete %.1f s\n",
              corpus.size(), scanSeconds, expectedVirus.size(), readSeconds, deleteSeconds);
  RecordProperty("scan_ms", static_cast<int>(scanSeconds * 1000));
  RecordProperty("delete_ms", static_cast<int>(deleteSeconds * 1000));

  app::BackToMainAndExit(rd, tidewick);
}

}  // namespace
}  // namespace tidewick::e2e
