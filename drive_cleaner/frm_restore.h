// The Restore Files window ("Restore Files | Tidewick v3.1"), opened by the hand-over from the
// Pen Drive window's "Extra" menu ("Restore Files From Hidden Folder...") once a device has been
// scanned. It lists the root folders of the scanned medium whose name is blanks, invisible
// characters or "_" (stick_analysis.h): each with its name in tokens, its files, folders and
// size, and the second signs found; only a folder with a sign is ticked beforehand.
//
//  - "Rename" (the default button) renames each ticked folder to "Recovered files" (or
//    "Recovered files (2)", ...) and clears its hidden, system and read-only marks: one rename
//    in the root, which overwrites nothing.
//  - "Move To Root" renames each top-level entry of each ticked folder into the root and clears
//    its marks: never a copy, never replacing. An entry whose name a root entry has already
//    (letter case aside) stays inside, and so do the worm's own files (stick_analysis.h,
//    WhyKeptInside); the summary lists them. The folder is removed only when it is then empty:
//    that is the one place where the program removes a folder, and RemoveDirectoryA refuses
//    any folder that holds an entry. A second run moves nothing more.
// Both ask first, show their progress, keep the window's events running between entries
// ("Cancel" stops there), act only while the scanned medium is in its drive, and end with a
// summary; a device that goes away part-way is reported as a stopped restore. "Back" (also Esc
// and the close box) gives control back to the Pen Drive window, whose lists are read again
// when something changed.
#pragma once

#include "drive_cleaner/scanned_medium.h"
#include "drive_cleaner/stick_survey.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tidewick {

class frm_restore final : public ui::Form {
 public:
  static constexpr const char* kFormName = "frm_restore";
  static constexpr const char* kMenuCaption = "Restore Files From Hidden Folder...";
  static constexpr const char* kFoldersFrame = "Folders that may hold your files:";

  explicit frm_restore(ui::Application& app);

  ui::Frame fra_folders{*this, "fra_folders"};       // frame of the candidates
  ui::CheckTable tbl_folders{*this, "tbl_folders"};  // folder, files, folders, size, signs
  ui::ProgressBar prg_restore{*this, "prg_restore"};
  ui::Label lbl_status{*this, "lbl_status"};          // what the window does now, or the device
  ui::CommandButton btn_rename{*this, "btn_rename"};  // "Rename" (default)
  ui::CommandButton btn_move{*this, "btn_move"};      // "Move To Root"
  ui::CommandButton btn_cancel{*this, "btn_cancel"};  // "Cancel", while a restore runs
  ui::CommandButton btn_back{*this, "btn_back"};      // "Back"

  void btn_rename_Click();
  void btn_move_Click();
  void btn_cancel_Click();
  void btn_back_Click();

  // How a restore ended.
  enum class Ending { Complete, Cancelled, Stopped };
  struct Kept {
    std::string folder;  // the candidate it stays in
    std::string name;
    std::string why;
  };
  struct Outcome {
    Ending ending = Ending::Complete;
    std::string stopReason;  // Stopped: why, in words
    std::size_t moved = 0;   // entries moved into the root (Move To Root)
    std::vector<Kept> kept;  // entries left inside, with the reason
    std::vector<std::pair<std::string, std::string>> renamed;  // folder -> its new name (Rename)
    std::vector<std::string> removedFolders;                    // emptied and removed
    std::size_t left = 0;    // entries not yet looked at when it ended early
  };
  // The two restores of the ticked folders, without the question before and the summary after
  // (the buttons ask and sum up).
  Outcome RenameTicked();
  Outcome MoveTickedToRoot();
  // The summary of a restore, as the buttons show it.
  std::string Summary(const Outcome& outcome, bool renaming) const;

  const ScannedMedium& Medium() const { return medium_; }

 protected:
  void InitializeComponent() override;
  void Form_Load() override;
  void Form_Unload() override;

 private:
  class Run;
  // Reads the stick: its shortcuts (what they start) and the candidates.
  void Fill();
  void SetRunning(bool running);
  std::vector<std::string> TickedFolders() const;
  // Clears hidden, system and read-only of an entry whose attributes are `attributes`.
  void MakeVisible(const std::string& path, std::uint32_t attributes);
  // Asks, checks the medium, runs `restore` and shows the summary; then reads the stick again.
  void Restore(bool renaming);

  ScannedMedium medium_;
  std::vector<stick::ItemRow> items_;  // the root's shortcuts and autorun.inf, judged
  bool running_ = false;
  bool cancelRequested_ = false;
  bool changed_ = false;
};

}  // namespace tidewick
