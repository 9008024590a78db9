// Decisions about a stick beyond the root scan: what each root shortcut and autorun.inf runs and
// opens, which files of the stick the worm starts, which root folder is the one the worm moved
// the user's data into, and what a move of that data back to the root must leave inside.
//
// Pure functions over plain data: the readers' results and a lookup of what stands at a path of
// the stick. Gathering that data through the platform is stick_survey.h's work.
//
// Paths of the stick are given relative to its root, with backslashes and no leading one:
// "RECYCLER\S-1-5-21\x.exe"; "" is the root itself. Names keep their letter case as written.
#pragma once

#include "readers/autorun_inf.h"
#include "readers/shortcut.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidewick::stick {

// ---- Verdicts, as the Shortcuts window shows them ----
// A shortcut whose command runs a script, a program or a library from the stick (directly or
// through cmd, a script host, a library host or explorer), whatever it also opens.
inline constexpr std::string_view kWormShortcut = "worm shortcut";
// One target, an existing file or folder of the same stick that is no program, and nothing run.
inline constexpr std::string_view kPlainShortcut = "plain shortcut";
// Unreadable by the format's bounds, or stating no target at all.
inline constexpr std::string_view kDamagedShortcut = "damaged shortcut";
// Neither of these: a program of the computer, a target elsewhere or missing, targets that
// disagree, arguments given to a document.
inline constexpr std::string_view kOtherShortcut = "other shortcut";
inline constexpr std::string_view kAutorunRunsProgram = "autorun runs a program";
inline constexpr std::string_view kAutorunIconOnly = "autorun shows only an icon and a label";
// An autorun.inf that runs no program but holds more than an icon and a label (keys of its own,
// or more than the reader reads), or sets neither of them (an empty one).
inline constexpr std::string_view kOtherAutorun = "other autorun";

// What stands at a path of the stick.
enum class EntryType { Missing, File, Folder };
using StickLookup = std::function<EntryType(std::string_view relativePath)>;

// The stick a shortcut or autorun.inf lies on: its root ("E:\"), the volume serial number of
// its medium when known, and what stands where.
struct StickPlace {
  std::string root;
  std::optional<std::uint32_t> serial;
  StickLookup lookup;
};

// A file of the stick that a command starts, and how.
struct StartedOnStick {
  std::string path;  // relative to the root
  std::string how;   // "script given to wscript.exe", "program started by cmd /c start", ...
};

// What the Shortcuts window shows of one root shortcut or autorun.inf.
struct Judgement {
  std::string_view verdict;
  std::string runs;                    // what it runs, program and arguments, visible; empty: nothing
  std::vector<StartedOnStick> starts;  // files of the stick it starts
  std::vector<std::string> opens;      // root entries it opens, each once (letter case aside)
  // Root entries it opens, works in (working folder) or states a target or started file in:
  // a folder so named is the one it leads the user to.
  std::vector<std::string> leadsInto;
  std::string note;                    // why damaged, or that its targets disagree
};

// Whether "Delete All Virus (Recommended)" leaves the line alone: a plain shortcut, or an
// autorun.inf that shows only an icon and a label.
bool KeptByDeleteAll(const Judgement& judgement);

Judgement JudgeShortcut(const readers::Shortcut& link, const StickPlace& stick);
Judgement JudgeAutorun(const readers::AutorunInf& inf, const StickPlace& stick);

// Whether a file name names something Windows runs (a program, a script, a library, a shortcut
// or an installer package), by its extension.
bool IsRunnableName(std::string_view name);

// The path relative to the stick's root that `path` names when a command runs in `runFolder`
// (relative to the root, or nullopt when it runs in a folder off the stick), or nullopt when
// `path` lies elsewhere. `letters` are the drive letters (upper case) that reach this stick.
std::optional<std::string> OnStick(std::string_view path, std::string_view letters,
                                   const std::optional<std::string>& runFolder);

// ---- The worm's folder --------------------------------------------------------------------

// Whether a root folder of this name can be the worm's folder: without blanks and invisible
// code points (readers::IsBlankOrInvisible) it is empty or "_".
bool IsCandidateName(std::string_view name);
// The name with every blank, invisible or control character as a token ("⟨U+00A0⟩"), so
// that a name of blanks can be seen.
std::string ShownName(std::string_view name);

// What the second signs of a candidate folder are judged by.
struct CandidateFacts {
  // Its attributes as the scan found them, before it changed them; nullopt when the scan did
  // not see it.
  std::optional<std::uint32_t> attributesBeforeScan;
  bool shortcutLeadsInto = false;  // a root shortcut opens it, works in it or has a target in it
  bool desktopIniLook = false;     // it holds a desktop.ini with an icon or a class id
  bool onlyWormFilesBeside = false;  // apart from it, the root holds only worm files
};
// The second signs found, in words; a candidate is ticked beforehand only when there is one.
std::vector<std::string> Signs(const CandidateFacts& facts);

// Whether a desktop.ini (its bytes) gives its folder an icon or a class id of its own: an
// IconResource, IconFile or IconIndex, or a CLSID, CLSID2 or UICLSID key in [.ShellClassInfo].
bool DesktopIniGivesALook(std::span<const std::uint8_t> bytes);

// Whether a root entry of this name is one the worm leaves, not the user's: a file with a virus
// extension or a runnable one, autorun.inf, desktop.ini, thumbs.db, a "~$W" file, or one of
// the drive's own system entries (`isFolder` tells the two kinds apart: a folder is worm's
// only as a system folder).
bool IsWormArtefactName(std::string_view name, bool isFolder);

// "Recovered files", or "Recovered files (2)", "(3)", ... : the first name that `taken`
// (which compares without letter case) does not hold.
std::string FreeRecoveredName(const std::function<bool(std::string_view name)>& taken);
inline constexpr std::string_view kRecoveredName = "Recovered files";

// Why an entry of the worm's folder stays inside when its entries move back to the root, or
// nullopt when it moves: a desktop.ini that gives the folder its look, a file a root shortcut
// or autorun.inf starts, a name with a virus extension.
struct InsideEntry {
  std::string name;
  bool folder = false;
  bool desktopIniLook = false;  // a desktop.ini that gives an icon or a class id
  bool startedByShortcut = false;
};
std::optional<std::string> WhyKeptInside(const InsideEntry& entry);

}  // namespace tidewick::stick
