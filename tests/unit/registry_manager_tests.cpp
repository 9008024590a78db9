// Behaviour of the registry manager window on the simulated platform and the headless host.
//
// The program's own windows are registered, and the window is opened the way a person opens
// it: the main window's "Computer", then the computer cleaner's "Extra", "Registry Manager".

#include "registry_manager/frm_RM.h"

#include "app/forms.h"
#include "app/info_windows.h"
#include "app/main_window.h"
#include "computer_cleaner/frm_c.h"

#include "platform/platform_operations.h"
#include "platform/simulated/simulated_platform.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using sim::RegistryValue;
using sim::SimulatedPlatform;

constexpr Handle HKCU = Root::CurrentUser;
constexpr Handle HKLM = Root::LocalMachine;

constexpr const char* kHint =
    "Make sure you 'Run As Administrator' before do this. (For windows 7 and vista only)";
constexpr const char* kQuestion = "Are you sure to do this?";

// Keys as they are read (the simulated registry ignores letter case and a trailing backslash).
constexpr const char* kSystem = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kCmd = "Software\\Policies\\Microsoft\\Windows\\System";
constexpr const char* kAdvanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr const char* kShowAll = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";

// The boxes in the order of the window, top to bottom.
enum Box { NRE, DCMD, HFO, NTM, SHFF, SE, kBoxCount };
using BoxStates = std::array<int, kBoxCount>;

// ---- Fixture --------------------------------------------------------------------------------

class RegistryManagerTest : public ::testing::Test {
 protected:
  RegistryManagerTest() {
    RegisterForms(app);
    // The kill tool beside the program, so that the main window starts without a question.
    sim.AddDrive('C');
    sim.AddFolder("C:\\Tidewick");
    sim.AddFile("C:\\Tidewick\\pskill.exe");
    sim.SetCurrentFolder("C:\\Tidewick");
  }

  frm_first& Main() { return app.Get<frm_first>(); }
  frm_c& Computer() { return app.Get<frm_c>(); }
  frm_RM& Rm() { return app.Get<frm_RM>(); }

  // The program started and "Computer" pressed.
  void ShowComputer() {
    if (!Main().Loaded()) Main().Show();
    user.Click(Main().btn_c);
  }

  // Computer, Extra, "Registry Manager".
  frm_RM& OpenRegistryManager() {
    if (!Computer().Visible()) ShowComputer();
    user.Choose(Computer().ex_fReg);
    return Rm();
  }

  ui::CheckBox& BoxOf(Box b) {
    frm_RM& rm = Rm();
    ui::CheckBox* boxes[] = {&rm.chk_NRE, &rm.chk_DCMD, &rm.chk_HFO, &rm.chk_NTM, &rm.chk_SHFF, &rm.chk_SE};
    return *boxes[b];
  }
  BoxStates States() {
    BoxStates s{};
    for (int b = 0; b < kBoxCount; ++b) s[static_cast<std::size_t>(b)] = BoxOf(static_cast<Box>(b)).Value();
    return s;
  }
  // Sets the boxes by clicking those that differ, as a person would.
  void SetBoxes(const BoxStates& wanted) {
    for (int b = 0; b < kBoxCount; ++b) {
      ui::CheckBox& box = BoxOf(static_cast<Box>(b));
      if (box.Value() != wanted[static_cast<std::size_t>(b)]) user.Click(box);
    }
  }
  void PressOkAndAnswer(int answer) {
    sim.QueueAnswer(answer);
    user.Click(Rm().btn_okk);
  }

  std::optional<std::uint32_t> Dword(Handle root, const char* key, const char* name) {
    auto v = sim.RegistryValueAt(root, key, name);
    if (!v || v->type != RegType::Dword || v->data.size() != 4) return std::nullopt;
    return std::uint32_t{v->data[0]} | std::uint32_t{v->data[1]} << 8 | std::uint32_t{v->data[2]} << 16 |
           std::uint32_t{v->data[3]} << 24;
  }

  SimulatedPlatform sim;
  ui::HeadlessHost host;
  ui::Application app{sim, host};
  ui::User user;
};

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

// ---- Layout ---------------------------------------------------------------------------------

TEST_F(RegistryManagerTest, WindowHasItsDesignedLayoutMenusAndTitle) {
  frm_RM& rm = OpenRegistryManager();

  EXPECT_EQ(rm.Caption(), "Registry Manager | Tidewick v3.1");
  EXPECT_EQ(rm.Style().border, ui::BorderStyle::FixedSingle);
  EXPECT_FALSE(rm.Style().minButton);
  EXPECT_FALSE(rm.Style().maxButton);
  EXPECT_EQ(rm.Style().position, ui::StartPosition::CenterScreen);
  EXPECT_EQ(rm.Style().clientWidth, 3795);
  EXPECT_EQ(rm.Style().clientHeight, 3090);

  struct Expected {
    ui::CaptionedControl* control;
    const char* caption;
    ui::Twips position;
  };
  const Expected controls[] = {
      {&rm.fme_RM, "Registry Manager", {240, 135, 3285, 2040}},
      {&rm.btn_zx, "Cancel", {1290, 2400, 1000, 375}},
      {&rm.btn_okk, "Ok", {2490, 2400, 1000, 375}},
  };
  for (const auto& e : controls) {
    SCOPED_TRACE(e.control->Name());
    EXPECT_EQ(e.control->Caption(), e.caption);
    EXPECT_EQ(e.control->Position(), e.position);
  }
  const std::pair<Box, const char*> boxes[] = {
      {NRE, "No Registry Editor"}, {DCMD, "Disable CMD"},          {HFO, "Hide Folder Options (XP)"},
      {NTM, "No Task Manager"},    {SHFF, "Show Hidden File And Folder"}, {SE, "Show Extentions"},
  };
  int top = 390;
  for (const auto& [b, caption] : boxes) {
    ui::CheckBox& box = BoxOf(b);
    SCOPED_TRACE(box.Name());
    EXPECT_EQ(box.Caption(), caption);
    EXPECT_EQ(box.Position().left, 420);
    EXPECT_EQ(box.Position().top, top);
    EXPECT_EQ(box.Position().height, 255);
    EXPECT_EQ(box.Container(), &rm.fme_RM);
    // Inside the frame, right edge included.
    EXPECT_LE(box.Position().left + box.Position().width, 240 + 3285);
    top += 270;
  }
  for (ui::Control* c : rm.Controls()) {
    SCOPED_TRACE(c->Name());
    EXPECT_EQ(c->GetFont(), (ui::Font{"Tahoma", 8.25}));
  }

  // Keyboard order: the boxes top to bottom, then Cancel, then Ok.
  const ui::Control* order[] = {&rm.chk_NRE, &rm.chk_DCMD, &rm.chk_HFO, &rm.chk_NTM, &rm.chk_SHFF, &rm.chk_SE,
                                &rm.btn_zx,  &rm.btn_okk};
  for (std::size_t i = 1; i < std::size(order); ++i) EXPECT_LT(order[i - 1]->TabIndex(), order[i]->TabIndex());
  EXPECT_GE(order[0]->TabIndex(), 0);

  ASSERT_EQ(rm.MenuBar().size(), 2u);
  EXPECT_EQ(rm.MenuBar()[0], &rm.RM_f_0);
  EXPECT_EQ(rm.MenuBar()[1], &rm.RM_h);
  EXPECT_EQ(rm.RM_f_0.Caption(), "File");
  ASSERT_EQ(rm.RM_f_0.Children().size(), 3u);
  EXPECT_EQ(rm.RM_f_0.Children()[0]->Caption(), "Back");
  EXPECT_TRUE(rm.RM_f_0.Children()[1]->IsSeparator());
  EXPECT_EQ(rm.RM_f_0.Children()[2]->Caption(), "Exit");
  EXPECT_EQ(rm.RM_h.Caption(), "Help");
  ASSERT_EQ(rm.RM_h.Children().size(), 1u);
  EXPECT_EQ(rm.RM_h.Children()[0]->Caption(), "How To 'Run As Administrator'?");
}

// ---- Reading at load ------------------------------------------------------------------------

struct Seed {
  Handle root;
  const char* key;
  const char* name;
  RegistryValue value;
};

struct ReadCase {
  const char* name;
  std::vector<Seed> seeds;
  BoxStates expected;  // NRE, DCMD, HFO, NTM, SHFF, SE
  std::vector<const char*> unreadableKeys = {};
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

// Every one of the six values set to the same data.
std::vector<Seed> AllSix(const RegistryValue& v) {
  return {{HKCU, kSystem, "DisableRegistryTools", v}, {HKCU, kCmd, "DisableCMD", v},
          {HKCU, kExplorer, "NoFolderOptions", v},    {HKCU, kSystem, "DisableTaskMgr", v},
          {HKCU, kAdvanced, "Hidden", v},             {HKCU, kAdvanced, "HideFileExt", v}};
}

std::vector<ReadCase> ReadCases() {
  const RegistryValue one = RegistryValue::Dword(1);
  return {
      {"NothingPresent", {}, {0, 0, 0, 0, 0, 1}},
      {"KeysPresentValuesMissing",
       {{HKCU, kSystem, "Other", one}, {HKCU, kCmd, "Other", one}, {HKCU, kExplorer, "Other", one},
        {HKCU, kAdvanced, "Other", one}},
       {0, 0, 0, 0, 0, 1}},
      {"NumberOne", AllSix(one), {1, 1, 1, 1, 1, 0}},
      {"NumberZero", AllSix(RegistryValue::Dword(0)), {0, 0, 0, 0, 0, 1}},
      {"TextOne", AllSix(RegistryValue::Text("1")), {1, 1, 1, 1, 1, 0}},
      {"TextReadingAsOne", AllSix(RegistryValue::Text(" 01")), {1, 1, 1, 1, 1, 0}},
      {"TextZero", AllSix(RegistryValue::Text("0")), {0, 0, 0, 0, 0, 1}},
      {"TextNotANumber", AllSix(RegistryValue::Text("yes")), {0, 0, 0, 0, 0, 1}},
      {"EmptyText", AllSix(RegistryValue::Text("")), {0, 0, 0, 0, 0, 1}},
      {"ExpandableTextOne", AllSix(RegistryValue::Text("1", RegType::ExpandSz)), {0, 0, 0, 0, 0, 1}},
      {"BinaryOne", AllSix(RegistryValue::Bytes(RegType::Binary, {1, 0, 0, 0})), {0, 0, 0, 0, 0, 1}},
      {"NumberTwo", AllSix(RegistryValue::Dword(2)), {0, 0, 0, 0, 0, 1}},
      {"HiddenTwo", {{HKCU, kAdvanced, "Hidden", RegistryValue::Dword(2)}}, {0, 0, 0, 0, 0, 1}},
      {"OnlyUnderLocalMachine",
       {{HKLM, kSystem, "DisableRegistryTools", one},
        {HKLM, kExplorer, "NoFolderOptions", one},
        {HKLM, kCmd, "DisableCMD", one},
        {HKLM, kSystem, "DisableTaskMgr", one},
        {HKLM, kAdvanced, "Hidden", one},
        {HKLM, kAdvanced, "HideFileExt", one}},
       {0, 0, 0, 0, 0, 1}},
      {"KeysThatCannotBeOpened", AllSix(one), {0, 0, 0, 0, 0, 1}, {kSystem, kCmd, kExplorer, kAdvanced}},
      // Each value lands in its own box and nowhere else.
      {"OnlyDisableRegistryTools", {{HKCU, kSystem, "DisableRegistryTools", one}}, {1, 0, 0, 0, 0, 1}},
      {"OnlyDisableCMD", {{HKCU, kCmd, "DisableCMD", one}}, {0, 1, 0, 0, 0, 1}},
      {"OnlyNoFolderOptions", {{HKCU, kExplorer, "NoFolderOptions", one}}, {0, 0, 1, 0, 0, 1}},
      {"OnlyDisableTaskMgr", {{HKCU, kSystem, "DisableTaskMgr", one}}, {0, 0, 0, 1, 0, 1}},
      {"OnlyHidden", {{HKCU, kAdvanced, "Hidden", one}}, {0, 0, 0, 0, 1, 1}},
      {"OnlyHideFileExt", {{HKCU, kAdvanced, "HideFileExt", one}}, {0, 0, 0, 0, 0, 0}},
      // The values written alongside do not count when reading.
      {"WrittenCompanionsIgnored",
       {{HKCU, kAdvanced, "ShowSuperHidden", one}, {HKCU, kAdvanced, "SuperHidden", RegistryValue::Dword(0)},
        {HKLM, kShowAll, "CheckedValue", one}},
       {0, 0, 0, 0, 0, 1}},
  };
}

class RegistryManagerReadTest : public RegistryManagerTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RegistryManagerReadTest, BoxesShowTheCurrentUsersValues) {
  const ReadCase& c = GetParam();
  for (const Seed& s : c.seeds) sim.SetRegistryValue(s.root, s.key, s.name, s.value);
  for (const char* key : c.unreadableKeys) sim.RefuseRegistryOpen(HKCU, key);

  frm_RM& rm = OpenRegistryManager();

  EXPECT_TRUE(rm.Loaded());
  EXPECT_TRUE(rm.Visible());
  EXPECT_EQ(States(), c.expected);
  EXPECT_TRUE(sim.RegistryWrites().empty()) << "opening the window writes nothing";
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryManagerReadTest, ::testing::ValuesIn(ReadCases()),
                         CaseName<ReadCase>);

// ---- Hint at every load ---------------------------------------------------------------------

TEST_F(RegistryManagerTest, HintAtEveryOpeningAndSecondOpeningShowsWhatOkWrote) {
  frm_RM& rm = OpenRegistryManager();
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, kHint);
  EXPECT_EQ(sim.MessageBoxes()[0].style, MsgStyle::Information);
  EXPECT_EQ(States(), (BoxStates{0, 0, 0, 0, 0, 1}));

  SetBoxes({1, 0, 1, 0, 1, 0});
  PressOkAndAnswer(Answer::Yes);
  ASSERT_FALSE(rm.Loaded());

  OpenRegistryManager();
  ASSERT_EQ(sim.MessageBoxes().size(), 3u);
  EXPECT_EQ(sim.MessageBoxes()[1].text, kQuestion);
  EXPECT_EQ(sim.MessageBoxes()[2].text, kHint);
  EXPECT_EQ(sim.MessageBoxes()[2].style, MsgStyle::Information);
  EXPECT_EQ(States(), (BoxStates{1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(rm.Caption(), "Registry Manager | Tidewick v3.1");

  // Changes left by Cancel are gone at the next opening: the boxes come from the registry.
  SetBoxes({0, 1, 0, 1, 0, 1});
  user.Click(rm.btn_zx);
  OpenRegistryManager();
  EXPECT_EQ(States(), (BoxStates{1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(sim.MessageBoxes().size(), 4u);
}

// ---- Writing on "Ok" ------------------------------------------------------------------------

struct ExpectedWrite {
  Handle root;
  const char* subKey;  // exactly as passed
  const char* value;
  std::int32_t checked;
  std::int32_t unchecked;
  Box box;
};

// The twelve writes of "Ok", in order.
constexpr ExpectedWrite kOkWrites[] = {
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableRegistryTools", 1, 0, NRE},
    {HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableRegistryTools", 1, 0, NRE},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\", "NoFolderOptions", 1, 0, HFO},
    {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\", "NoFolderOptions", 1, 0, HFO},
    {HKCU, "Software\\Policies\\Microsoft\\Windows\\System\\", "DisableCMD", 1, 0, DCMD},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableTaskMgr", 1, 0, NTM},
    {HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", "DisableTaskMgr", 1, 0, NTM},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "SuperHidden", 0, 1, SHFF},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "Hidden", 1, 0, SHFF},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "ShowSuperHidden", 1, 0, SHFF},
    {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL", "CheckedValue", 1, 1, SHFF},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\", "HideFileExt", 0, 1, SE},
};

std::vector<std::uint8_t> DwordBytes(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
          static_cast<std::uint8_t>(u >> 24)};
}

struct WriteCase {
  const char* name;
  BoxStates boxes;
};
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class RegistryManagerWriteTest : public RegistryManagerTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RegistryManagerWriteTest, OkWritesEveryValueInOrderThenReturns) {
  const WriteCase& c = GetParam();
  frm_RM& rm = OpenRegistryManager();
  SetBoxes(c.boxes);
  ASSERT_EQ(States(), c.boxes);

  // The pump runs once, after the last write and before the window is left.
  std::size_t writesAtPump = 0;
  bool loadedAtPump = false;
  sim.OnDoEvents([&] {
    writesAtPump = sim.RegistryWrites().size();
    loadedAtPump = rm.Loaded();
  });
  const std::size_t pumpsBefore = sim.DoEventsCount();
  PressOkAndAnswer(Answer::Yes);

  const auto& writes = sim.RegistryWrites();
  ASSERT_EQ(writes.size(), std::size(kOkWrites));
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const ExpectedWrite& e = kOkWrites[i];
    const std::int32_t data = c.boxes[static_cast<std::size_t>(e.box)] == 1 ? e.checked : e.unchecked;
    SCOPED_TRACE("write " + std::to_string(i) + " " + e.value);
    EXPECT_EQ(writes[i].root, e.root);
    EXPECT_EQ(writes[i].subKey, e.subKey);
    EXPECT_EQ(writes[i].valueName, e.value);
    EXPECT_EQ(writes[i].type, RegType::Dword);
    EXPECT_EQ(writes[i].data, DwordBytes(data));
    EXPECT_EQ(writes[i].status, StatusCode::Success);
    EXPECT_EQ(Dword(e.root, e.subKey, e.value), static_cast<std::uint32_t>(data));
  }
  EXPECT_EQ(sim.DoEventsCount() - pumpsBefore, 1u);
  EXPECT_EQ(writesAtPump, std::size(kOkWrites));
  EXPECT_TRUE(loadedAtPump);
  EXPECT_EQ(sim.OpenHandleCount(), 0u);

  ASSERT_EQ(sim.MessageBoxes().size(), 2u);
  EXPECT_EQ(sim.MessageBoxes()[1].text, kQuestion);
  EXPECT_EQ(sim.MessageBoxes()[1].style, MsgStyle::YesNoQuestion);

  EXPECT_FALSE(rm.Loaded());
  EXPECT_TRUE(Computer().Visible());
  EXPECT_TRUE(Computer().Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, RegistryManagerWriteTest,
    ::testing::Values(WriteCase{"AllOff", {0, 0, 0, 0, 0, 0}}, WriteCase{"AllOn", {1, 1, 1, 1, 1, 1}},
                      WriteCase{"AsOpenedUnchanged", {0, 0, 0, 0, 0, 1}},
                      WriteCase{"OnlyNoRegistryEditor", {1, 0, 0, 0, 0, 0}},
                      WriteCase{"OnlyDisableCmd", {0, 1, 0, 0, 0, 0}},
                      WriteCase{"OnlyHideFolderOptions", {0, 0, 1, 0, 0, 0}},
                      WriteCase{"OnlyNoTaskManager", {0, 0, 0, 1, 0, 0}},
                      WriteCase{"OnlyShowHidden", {0, 0, 0, 0, 1, 0}},
                      WriteCase{"OnlyShowExtensions", {0, 0, 0, 0, 0, 1}}),
    CaseName<WriteCase>);

TEST_F(RegistryManagerTest, NoWritesNothingAndKeepsTheWindowOpen) {
  sim.SetRegistryValue(HKCU, kSystem, "DisableTaskMgr", RegistryValue::Dword(1));
  frm_RM& rm = OpenRegistryManager();
  SetBoxes({1, 1, 0, 0, 1, 0});
  const std::size_t values = sim.RegistryValueCount(HKCU) + sim.RegistryValueCount(HKLM);

  PressOkAndAnswer(Answer::No);

  EXPECT_TRUE(sim.RegistryWrites().empty());
  EXPECT_EQ(sim.RegistryValueCount(HKCU) + sim.RegistryValueCount(HKLM), values);
  EXPECT_EQ(Dword(HKCU, kSystem, "DisableTaskMgr"), 1u);
  EXPECT_TRUE(rm.Loaded());
  EXPECT_TRUE(rm.Visible());
  EXPECT_TRUE(rm.btn_okk.Usable());
  EXPECT_EQ(States(), (BoxStates{1, 1, 0, 0, 1, 0}));
  EXPECT_FALSE(Computer().Visible());
  EXPECT_FALSE(Computer().Enabled());

  // The window is still fully in use: a second "Ok" asks again and writes this time.
  PressOkAndAnswer(Answer::Yes);
  EXPECT_EQ(sim.RegistryWrites().size(), std::size(kOkWrites));
  EXPECT_EQ(Dword(HKCU, kSystem, "DisableTaskMgr"), 0u);
  EXPECT_FALSE(rm.Loaded());
}

TEST_F(RegistryManagerTest, RefusedLocalMachineStillWritesCurrentUserAndReturnsSilently) {
  sim.SetRegistryValue(HKLM, kSystem, "DisableTaskMgr", RegistryValue::Dword(1));
  sim.SetRegistryValue(HKLM, kSystem, "DisableRegistryTools", RegistryValue::Dword(1));
  sim.RefuseRegistryWrites(HKLM);
  frm_RM& rm = OpenRegistryManager();
  SetBoxes({0, 1, 1, 0, 1, 1});

  PressOkAndAnswer(Answer::Yes);

  for (const ExpectedWrite& e : kOkWrites) {
    if (e.root != HKCU) continue;
    SCOPED_TRACE(e.value);
    const int box = BoxStates{0, 1, 1, 0, 1, 1}[static_cast<std::size_t>(e.box)];
    EXPECT_EQ(Dword(HKCU, e.subKey, e.value), static_cast<std::uint32_t>(box == 1 ? e.checked : e.unchecked));
  }
  // The machine-wide values stay as they were; nothing new appears there.
  EXPECT_EQ(Dword(HKLM, kSystem, "DisableTaskMgr"), 1u);
  EXPECT_EQ(Dword(HKLM, kSystem, "DisableRegistryTools"), 1u);
  EXPECT_FALSE(sim.RegistryValueAt(HKLM, kExplorer, "NoFolderOptions").has_value());
  EXPECT_FALSE(sim.RegistryValueAt(HKLM, kShowAll, "CheckedValue").has_value());
  EXPECT_EQ(sim.OpenHandleCount(), 0u);

  // Nothing is reported beyond the hint and the question, and the window returns.
  ASSERT_EQ(sim.MessageBoxes().size(), 2u);
  EXPECT_EQ(sim.MessageBoxes()[1].text, kQuestion);
  EXPECT_FALSE(rm.Loaded());
  EXPECT_TRUE(Computer().Visible());
  EXPECT_TRUE(Computer().Enabled());
}

TEST_F(RegistryManagerTest, SettingOnOnlyUnderLocalMachineIsShownOffAndOkSwitchesItOffEverywhere) {
  sim.SetRegistryValue(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableTaskMgr",
                       RegistryValue::Dword(1));
  OpenRegistryManager();
  EXPECT_EQ(Rm().chk_NTM.Value(), 0);

  PressOkAndAnswer(Answer::Yes);

  EXPECT_EQ(Dword(HKCU, kSystem, "DisableTaskMgr"), 0u);
  EXPECT_EQ(Dword(HKLM, kSystem, "DisableTaskMgr"), 0u);
}

TEST_F(RegistryManagerTest, HiddenTwoIsShownOffAndOkWritesZero) {
  sim.SetRegistryValue(HKCU, kAdvanced, "Hidden", RegistryValue::Dword(2));
  OpenRegistryManager();
  EXPECT_EQ(Rm().chk_SHFF.Value(), 0);

  PressOkAndAnswer(Answer::Yes);

  EXPECT_EQ(Dword(HKCU, kAdvanced, "Hidden"), 0u);
  EXPECT_EQ(Dword(HKCU, kAdvanced, "SuperHidden"), 1u);
  EXPECT_EQ(Dword(HKCU, kAdvanced, "ShowSuperHidden"), 0u);
  EXPECT_EQ(Dword(HKLM, kShowAll, "CheckedValue"), 1u);
}

// ---- Ways out -------------------------------------------------------------------------------

enum class Exit { Cancel, BackMenu, CloseBox, OkYes };

struct ExitCase {
  const char* name;
  Exit exit;
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

class RegistryManagerExitTest : public RegistryManagerTest, public ::testing::WithParamInterface<ExitCase> {
 protected:
  void Leave(Exit exit) {
    frm_RM& rm = Rm();
    switch (exit) {
      case Exit::Cancel: user.Click(rm.btn_zx); break;
      case Exit::BackMenu: user.Choose(rm.RM_f_back); break;
      case Exit::CloseBox: user.Close(rm); break;
      case Exit::OkYes: PressOkAndAnswer(Answer::Yes); break;
    }
  }
};

TEST_P(RegistryManagerExitTest, ReturnsOnceToTheComputerCleanerAsItWas) {
  const Exit exit = GetParam().exit;
  ShowComputer();
  ui::CheckList& lstV = Computer().lst_V;
  ui::CheckList& lstP = Computer().lst_P;
  lstV.AddItem("svchost.exe (HKCU Run: Updater)");
  lstV.AddItem("wscript.exe (HKCU Run: Helper)");
  lstP.AddItem("C:\\Users\\ana\\tool.exe");
  lstP.AddItem("C:\\Users\\ana\\game.exe");
  lstP.AddItem("C:\\Users\\ana\\worm.exe");
  lstV.SetSelected(1, true);
  lstP.SetSelected(0, true);
  lstP.SetSelected(2, true);
  const auto linesV = lstV.Lines();
  const auto linesP = lstP.Lines();

  frm_RM& rm = OpenRegistryManager();
  ASSERT_FALSE(Computer().Visible());
  ASSERT_FALSE(Computer().Enabled());
  user.Click(rm.chk_NRE);  // a change that only "Ok" may write
  const int shownBefore = host.VisibilityChanges("frm_c");
  const auto windowsBefore = host.WindowLog().size();

  Leave(exit);

  EXPECT_FALSE(rm.Loaded());
  EXPECT_FALSE(rm.Visible());
  EXPECT_TRUE(Computer().Loaded());
  EXPECT_TRUE(Computer().Visible());
  EXPECT_TRUE(Computer().Enabled());
  EXPECT_EQ(lstV.Lines(), linesV);
  EXPECT_EQ(lstP.Lines(), linesP);
  EXPECT_FALSE(lstV.Selected(0));
  EXPECT_TRUE(lstV.Selected(1));
  EXPECT_TRUE(lstP.Selected(0));
  EXPECT_FALSE(lstP.Selected(1));
  EXPECT_TRUE(lstP.Selected(2));

  // The return takes effect once: one window destroyed, frm_c shown once.
  const std::vector<std::string> tail(host.WindowLog().begin() + static_cast<std::ptrdiff_t>(windowsBefore),
                                      host.WindowLog().end());
  EXPECT_EQ(tail, std::vector<std::string>{"destroy frm_RM"});
  EXPECT_EQ(host.VisibilityChanges("frm_c") - shownBefore, 1);

  if (exit == Exit::OkYes) {
    EXPECT_EQ(Dword(HKCU, kSystem, "DisableRegistryTools"), 1u);
  } else {
    EXPECT_TRUE(sim.RegistryWrites().empty());
  }

  // And the way back in works again.
  OpenRegistryManager();
  EXPECT_TRUE(rm.Visible());
  EXPECT_FALSE(Computer().Visible());
}

// Call by call: frm_c disables, then hides itself, then this window loads and shows. A button
// or the menu unloads this window, then enables and shows frm_c; the close box, which starts
// the unload itself, hides this window first and destroys it last.
TEST_P(RegistryManagerExitTest, HandOverAndGiveBackReachTheWindowsInOrder) {
  const Exit exit = GetParam().exit;
  ShowComputer();
  const auto since = [this](std::size_t from) {
    return std::vector<std::string>(host.FormLog().begin() + static_cast<std::ptrdiff_t>(from), host.FormLog().end());
  };
  std::size_t before = host.FormLog().size();
  user.Choose(Computer().ex_fReg);
  EXPECT_EQ(since(before),
            (std::vector<std::string>{"frm_c disabled", "frm_c hidden", "create frm_RM", "frm_RM caption", "frm_RM shown"}));

  before = host.FormLog().size();
  Leave(exit);
  if (exit == Exit::CloseBox) {
    EXPECT_EQ(since(before),
              (std::vector<std::string>{"frm_RM hidden", "frm_c enabled", "frm_c shown", "destroy frm_RM"}));
  } else {
    EXPECT_EQ(since(before), (std::vector<std::string>{"destroy frm_RM", "frm_c enabled", "frm_c shown"}));
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, RegistryManagerExitTest,
                         ::testing::Values(ExitCase{"Cancel", Exit::Cancel}, ExitCase{"BackMenu", Exit::BackMenu},
                                           ExitCase{"CloseBox", Exit::CloseBox}, ExitCase{"OkYes", Exit::OkYes}),
                         CaseName<ExitCase>);

// A click on Cancel that was waiting while "Ok" wrote is handled by the event pump after the
// writes; "Ok" then finds the window already left and does not return a second time.
TEST_F(RegistryManagerTest, CancelPendingDuringOkReturnsOnlyOnce) {
  frm_RM& rm = OpenRegistryManager();
  sim.OnDoEvents([&] {
    if (rm.btn_zx.Usable()) user.Click(rm.btn_zx);
  });
  const int shownBefore = host.VisibilityChanges("frm_c");
  const auto windowsBefore = host.WindowLog().size();

  PressOkAndAnswer(Answer::Yes);

  EXPECT_EQ(sim.RegistryWrites().size(), std::size(kOkWrites));
  EXPECT_FALSE(rm.Loaded());
  EXPECT_TRUE(Computer().Visible());
  EXPECT_TRUE(Computer().Enabled());
  EXPECT_EQ(host.WindowLog().size() - windowsBefore, 1u);
  EXPECT_EQ(host.VisibilityChanges("frm_c") - shownBefore, 1);
}

TEST_F(RegistryManagerTest, ExitEndsTheProgramWithoutReturningOrWriting) {
  frm_RM& rm = OpenRegistryManager();
  user.Click(rm.chk_NTM);

  EXPECT_THROW(user.Choose(rm.RM_f_exit), sim::ProgramEnded);

  EXPECT_TRUE(sim.Ended());
  EXPECT_TRUE(sim.RegistryWrites().empty());
  EXPECT_FALSE(Computer().Visible());
  EXPECT_FALSE(Computer().Enabled());
}

// ---- Help picture ---------------------------------------------------------------------------

TEST_F(RegistryManagerTest, HelpPictureShowsOverThisWindowWhichStaysUsable) {
  frm_RM& rm = OpenRegistryManager();
  user.Click(rm.chk_SE);

  user.Choose(rm.RM_h_htraa);

  ui::Form& help = app.Get("frm_help");
  EXPECT_TRUE(help.Loaded());
  EXPECT_TRUE(help.Visible());
  EXPECT_EQ(help.OwnerForm(), &rm);
  EXPECT_TRUE(rm.Visible());
  EXPECT_TRUE(rm.Enabled());
  EXPECT_TRUE(rm.btn_okk.Usable());
  EXPECT_EQ(rm.chk_SE.Value(), 0);
  EXPECT_FALSE(Computer().Visible());

  // Chosen again: the same window, not a second one.
  user.Choose(rm.RM_h_htraa);
  EXPECT_EQ(&app.Get("frm_help"), &help);
  EXPECT_EQ(std::count(host.WindowLog().begin(), host.WindowLog().end(), "create frm_help"), 1);

  // Its "Back" hides it; the registry manager carries on as it was.
  user.Click(app.Get<frm_help>("frm_help").btn_ok);
  EXPECT_FALSE(help.Visible());
  EXPECT_TRUE(rm.Visible());
  EXPECT_TRUE(rm.Enabled());
  EXPECT_EQ(rm.chk_SE.Value(), 0);
  EXPECT_TRUE(sim.RegistryWrites().empty());
  EXPECT_FALSE(Computer().Visible());
  EXPECT_FALSE(Main().Visible());
}

}  // namespace
}  // namespace tidewick
