// The form runtime itself (ui/form.cpp, ui/controls.cpp) on the headless host: loading and
// unloading, showing, the events of check boxes and lists, the one rule of what a person can
// act on, and the hand-over and give-back between two windows, call by call.
//
// How a window is written and driven, in brief (the first test is the same, in full):
//
//   class Notes : public ui::Form {                     // one class per window
//    public:
//     explicit Notes(ui::Application& app) : Form(app, "notes") {
//       add.Click = [this] { lines.AddItem(loud.Checked() ? "HELLO" : "hello"); };
//     }
//     ui::CheckBox loud{*this, "loud"};                 // controls are members
//     ui::CheckList lines{*this, "lines"};
//     ui::CommandButton add{*this, "add"};
//    protected:
//     void InitializeComponent() override { add.SetCaption("Add"); }  // design values
//   };
//
//   app.Register("notes", factory);  app.Get("notes").Show();  user.Click(notes.add);
#include "platform/simulated/simulated_platform.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/headless/headless_host.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tidewick::ui {
namespace {

using Log = std::vector<std::string>;

// ---- An example of use: a three-control form ------------------------------------------------

class Notes final : public Form {
 public:
  static constexpr const char* kFormName = "notes";
  explicit Notes(Application& app) : Form(app, kFormName) {
    add.Click = [this] { lines.AddItem(loud.Checked() ? "HELLO" : "hello"); };
    lines.Changed = [this] { ++lineChanges; };
  }

  CheckBox loud{*this, "loud"};
  CheckList lines{*this, "lines"};
  CommandButton add{*this, "add"};
  int lineChanges = 0;

 protected:
  void InitializeComponent() override {
    SetCaption("Notes");
    loud.SetCaption("Loud");
    loud.SetPosition({120, 120, 1200, 255});
    lines.SetPosition({120, 480, 3000, 1500});
    add.SetCaption("Add");
    add.SetPosition({120, 2100, 1215, 375});
    add.SetTabIndex(0);
  }
  void Form_Load() override { SetCaption("Notes | loaded"); }
};

template <class F>
void Register(Application& app) {
  app.Register(F::kFormName, [](Application& a) { return std::make_unique<F>(a); });
}

TEST(FormRuntime, ExampleUsage) {
  sim::SimulatedPlatform os;
  HeadlessHost host;
  Application app{os, host};
  User user;
  Register<Notes>(app);

  // The instance is made on first use and loaded when first shown.
  Notes& notes = app.Get<Notes>();
  EXPECT_FALSE(notes.Loaded());
  notes.Show();
  EXPECT_TRUE(notes.Loaded());
  EXPECT_TRUE(notes.Visible());
  EXPECT_EQ(notes.Caption(), "Notes | loaded");  // Form_Load ran after the design values
  EXPECT_EQ(notes.add.Caption(), "Add");

  // A person clicks and marks; the handlers run on the models.
  user.Click(notes.add);
  user.Click(notes.loud);
  user.Click(notes.add);
  EXPECT_EQ(notes.lines.Lines(), (std::vector<std::string>{"hello", "HELLO"}));
  user.Mark(notes.lines, 1);
  EXPECT_EQ(notes.lines.MarkedCount(), 1);
  EXPECT_EQ(notes.lineChanges, 3);  // two lines added, one mark set

  // What a person cannot use is refused.
  notes.add.SetEnabled(false);
  EXPECT_THROW(user.Click(notes.add), NotUsable);

  // The close box unloads the window; the instance stays for the next opening.
  user.Close(notes);
  EXPECT_FALSE(notes.Loaded());
  EXPECT_EQ(host.WindowLog(), (Log{"create notes", "destroy notes"}));
  EXPECT_EQ(&app.Get<Notes>(), &notes);
}

// ---- Loading and unloading ------------------------------------------------------------------

// A form whose design values cover every kind of member, and which counts its handlers.
class Designed final : public Form {
 public:
  static constexpr const char* kFormName = "designed";
  explicit Designed(Application& app) : Form(app, kFormName) {}

  Frame frame{*this, "frame"};
  CommandButton go{*this, "go"};
  CheckBox box{*this, "box"};
  ComboBox choice{*this, "choice"};
  CheckList list{*this, "list"};
  TextBox text{*this, "text"};
  MenuItem menu{*this, "menu"};
  MenuItem item{*this, "item", &menu};
  Timer tick{*this, "tick"};
  int loads = 0;
  int unloads = 0;
  bool unloadAgainFromHandler = false;

 protected:
  void InitializeComponent() override {
    SetCaption("Design");
    frame.SetCaption("Frame");
    go.SetCaption("Go");
    go.SetPosition({100, 200, 300, 400});
    go.SetTooltip("Goes");
    go.SetContainer(&frame);
    box.SetValue(1);
    choice.AddItem("one");
    choice.AddItem("two");
    text.SetText("designed text");
    menu.SetCaption("Menu");
    item.SetCaption("Item");
    tick.SetInterval(250);
    tick.SetEnabled(true);
  }
  void Form_Load() override {
    ++loads;
    list.AddItem("from Form_Load");
  }
  void Form_Unload() override {
    ++unloads;
    if (unloadAgainFromHandler) Unload();
  }
};

class FormRuntimeTest : public ::testing::Test {
 protected:
  FormRuntimeTest() { Register<Designed>(app); }

  // The part of the host's form log written since `from`.
  Log LogSince(std::size_t from) const {
    const Log& log = host.FormLog();
    return Log(log.begin() + static_cast<std::ptrdiff_t>(from), log.end());
  }

  sim::SimulatedPlatform os;
  HeadlessHost host;
  Application app{os, host};
  User user;
};

TEST_F(FormRuntimeTest, EveryLoadStartsFromTheDesignValues) {
  Designed& form = app.Get<Designed>();
  form.Show();

  // Everything a session can change, changed.
  form.SetCaption("Changed");
  form.SetEnabled(false);
  form.go.SetCaption("Other");
  form.go.SetPosition({1, 2, 3, 4});
  form.go.SetTooltip("");
  form.go.SetEnabled(false);
  form.go.SetVisible(false);
  form.box.SetValue(0);
  form.choice.SetListIndex(1);
  form.choice.AddItem("three");
  form.list.AddItem("added");
  form.list.SetSelected(0, true);
  form.text.SetText("typed");
  form.item.SetEnabled(false);
  form.item.SetChecked(true);
  form.menu.SetVisible(false);
  form.tick.SetEnabled(false);
  form.Unload();
  EXPECT_FALSE(form.tick.Enabled());  // an unloaded form's timers stand still

  form.Show();
  EXPECT_EQ(form.loads, 2);
  EXPECT_EQ(form.Caption(), "Design");
  EXPECT_TRUE(form.Enabled());
  EXPECT_EQ(form.go.Caption(), "Go");
  EXPECT_EQ(form.go.Position(), (Twips{100, 200, 300, 400}));
  EXPECT_EQ(form.go.Tooltip(), "Goes");
  EXPECT_TRUE(form.go.Enabled());
  EXPECT_TRUE(form.go.Visible());
  EXPECT_EQ(form.box.Value(), 1);
  EXPECT_EQ(form.choice.Items(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(form.choice.ListIndex(), -1);
  EXPECT_EQ(form.list.Lines(), (std::vector<std::string>{"from Form_Load"}));
  EXPECT_EQ(form.list.MarkedCount(), 0);
  EXPECT_EQ(form.text.Text(), "designed text");
  EXPECT_TRUE(form.item.Enabled());
  EXPECT_FALSE(form.item.Checked());
  EXPECT_TRUE(form.menu.Visible());
  EXPECT_TRUE(form.tick.Enabled());
  EXPECT_EQ(form.tick.Interval(), 250u);
}

TEST_F(FormRuntimeTest, ShowingAHiddenFormKeepsItsStateAndDoesNotLoadItAgain) {
  Designed& form = app.Get<Designed>();
  form.Show();
  form.go.SetCaption("Kept");
  form.Hide();
  EXPECT_TRUE(form.Loaded());
  EXPECT_FALSE(form.Visible());

  form.Show();
  EXPECT_EQ(form.loads, 1);
  EXPECT_EQ(form.go.Caption(), "Kept");
  EXPECT_EQ(host.WindowLog(), (Log{"create designed"}));
}

TEST_F(FormRuntimeTest, ShowingAVisibleFormBringsItForwardWithoutLoadingAgain) {
  Designed& form = app.Get<Designed>();
  form.Show();
  const std::size_t before = host.FormLog().size();

  form.Show();

  EXPECT_EQ(LogSince(before), (Log{"designed shown"}));
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.loads, 1);
  EXPECT_EQ(host.Shows("designed"), 2);
}

TEST_F(FormRuntimeTest, UnloadReenteredFromItsOwnHandlerRunsTheHandlerOnce) {
  Designed& form = app.Get<Designed>();
  form.unloadAgainFromHandler = true;
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Unload");
    form.Show();
    const int unloadsBefore = form.unloads;
    const std::size_t before = host.FormLog().size();

    if (closeBox) {
      user.Close(form);
    } else {
      form.Unload();
    }

    EXPECT_EQ(form.unloads, unloadsBefore + 1);
    EXPECT_FALSE(form.Loaded());
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(LogSince(before), (Log{"destroy designed"}));
    form.Unload();  // an unloaded form: nothing happens
    EXPECT_EQ(form.unloads, unloadsBefore + 1);
  }
}

TEST_F(FormRuntimeTest, EachLoadHasANumberOfItsOwn) {
  Designed& form = app.Get<Designed>();
  EXPECT_EQ(form.LoadGeneration(), 0u);
  form.Show();
  const std::uint64_t first = form.LoadGeneration();
  EXPECT_TRUE(form.IsCurrentLoad(first));
  form.Hide();
  form.Show();
  EXPECT_EQ(form.LoadGeneration(), first);  // shown again, not loaded again

  form.Unload();
  EXPECT_FALSE(form.IsCurrentLoad(first));  // left
  form.Show();
  EXPECT_EQ(form.LoadGeneration(), first + 1);
  EXPECT_FALSE(form.IsCurrentLoad(first));  // left and opened again: another load
  EXPECT_TRUE(form.IsCurrentLoad(first + 1));
}

// ---- Events of the controls -----------------------------------------------------------------

TEST_F(FormRuntimeTest, CheckBoxRaisesClickWhenItsValueChangesByTheUserOrTheProgram) {
  Designed& form = app.Get<Designed>();
  form.Show();
  int clicks = 0;
  form.box.Click = [&] { ++clicks; };
  ASSERT_EQ(form.box.Value(), 1);

  user.Click(form.box);  // toggles
  EXPECT_EQ(form.box.Value(), 0);
  EXPECT_EQ(clicks, 1);
  form.box.SetValue(0);  // no change: no Click
  EXPECT_EQ(clicks, 1);
  form.box.SetValue(7);  // any value but 0 checks
  EXPECT_EQ(form.box.Value(), 1);
  EXPECT_TRUE(form.box.Checked());
  EXPECT_EQ(clicks, 2);

  form.frame.SetEnabled(false);  // a box in a disabled frame is not the user's to click
  form.box.SetContainer(&form.frame);
  EXPECT_THROW(user.Click(form.box), NotUsable);
  EXPECT_EQ(form.box.Value(), 1);
  EXPECT_EQ(clicks, 2);
}

TEST_F(FormRuntimeTest, CheckListRaisesChangedForEveryChangeOfItsLinesOrMarksAndOnlyThen) {
  Designed& form = app.Get<Designed>();
  form.Show();
  form.list.Clear();
  int changes = 0;
  form.list.Changed = [&] { ++changes; };

  struct Step {
    const char* what;
    void (*act)(CheckList&);
    int raised;
  };
  const Step steps[] = {
      {"add a line", [](CheckList& l) { l.AddItem("a"); }, 1},
      {"add another", [](CheckList& l) { l.AddItem("b", {"field"}); }, 1},
      {"mark a line", [](CheckList& l) { l.SetSelected(0, true); }, 1},
      {"mark it again", [](CheckList& l) { l.SetSelected(0, true); }, 0},
      {"mark no line", [](CheckList& l) { l.SetSelected(5, true); }, 0},
      {"remove no line", [](CheckList& l) { l.RemoveItem(-1); }, 0},
      {"remove a line", [](CheckList& l) { l.RemoveItem(0); }, 1},
      {"empty the list", [](CheckList& l) { l.Clear(); }, 1},
      {"empty it again", [](CheckList& l) { l.Clear(); }, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const int before = changes;
    step.act(form.list);
    EXPECT_EQ(changes - before, step.raised);
  }

  // A person's mark is the same change.
  form.list.AddItem("c");
  const int before = changes;
  user.Mark(form.list, 0);
  EXPECT_EQ(changes - before, 1);
  EXPECT_TRUE(form.list.Selected(0));
}

TEST_F(FormRuntimeTest, SelectAllMarksFromTheLastLineToTheFirstRaisingChangedForEachLineItChanges) {
  Designed& form = app.Get<Designed>();
  form.Show();
  form.list.Clear();
  for (const char* line : {"a", "b", "c", "d"}) form.list.AddItem(line);
  form.list.SetSelected(1, true);
  // What the list holds each time it says it changed.
  std::vector<std::string> seen;
  form.list.Changed = [&] {
    std::string marks;
    for (int i = 0; i < form.list.ListCount(); ++i) marks += form.list.Selected(i) ? 'x' : '.';
    seen.push_back(marks);
  };

  form.list.SetAllSelected(true);
  EXPECT_EQ(seen, (std::vector<std::string>{".x.x", ".xxx", "xxxx"}));

  seen.clear();
  form.list.SetSelected(2, false);
  seen.clear();
  form.list.SetAllSelected(false);
  EXPECT_EQ(seen, (std::vector<std::string>{"xx..", "x...", "...."}));

  seen.clear();
  form.list.SetAllSelected(false);  // nothing to change: nothing raised
  EXPECT_TRUE(seen.empty());
}

// ---- What a person can act on ---------------------------------------------------------------

// One table for both: `go` is a button in a frame, `item` an item of a menu.
TEST_F(FormRuntimeTest, APersonCanActOnlyWhenTheControlOrItemWhatHoldsItAndItsFormAllLetThem) {
  Designed& form = app.Get<Designed>();
  struct Case {
    const char* what;
    void (*set)(Designed&);
    bool onButton;
    bool onItem;
  };
  const Case cases[] = {
      {"everything enabled and shown", [](Designed&) {}, true, true},
      {"the button disabled", [](Designed& f) { f.go.SetEnabled(false); }, false, true},
      {"the button hidden", [](Designed& f) { f.go.SetVisible(false); }, false, true},
      {"its frame disabled", [](Designed& f) { f.frame.SetEnabled(false); }, false, true},
      {"its frame hidden", [](Designed& f) { f.frame.SetVisible(false); }, false, true},
      {"the item disabled", [](Designed& f) { f.item.SetEnabled(false); }, true, false},
      {"the item hidden", [](Designed& f) { f.item.SetVisible(false); }, true, false},
      {"the item a separator", [](Designed& f) { f.item.SetCaption("-"); }, true, false},
      {"its menu disabled", [](Designed& f) { f.menu.SetEnabled(false); }, true, false},
      {"its menu hidden", [](Designed& f) { f.menu.SetVisible(false); }, true, false},
      {"the form disabled", [](Designed& f) { f.SetEnabled(false); }, false, false},
      {"the form hidden", [](Designed& f) { f.Hide(); }, false, false},
      {"the form unloaded", [](Designed& f) { f.Unload(); }, false, false},
  };
  // A person's action: done when it may be, refused otherwise.
  const auto attempt = [](bool allowed, auto act) {
    if (allowed) {
      act();
    } else {
      EXPECT_THROW(act(), NotUsable);
    }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form.Unload();
    form.Show();
    c.set(form);
    EXPECT_EQ(CanUserAct(form.go), c.onButton);
    EXPECT_EQ(form.go.Usable(), c.onButton);
    EXPECT_EQ(CanUserAct(form.item), c.onItem);
    EXPECT_EQ(form.item.Usable(), c.onItem);
    int clicks = 0;
    int choices = 0;
    form.go.Click = [&] { ++clicks; };
    form.item.Click = [&] { ++choices; };
    attempt(c.onButton, [&] { user.Click(form.go); });
    attempt(c.onItem, [&] { user.Choose(form.item); });
    EXPECT_EQ(clicks, c.onButton ? 1 : 0);
    EXPECT_EQ(choices, c.onItem ? 1 : 0);
  }
}

// ---- Hand-over and give-back ----------------------------------------------------------------

// A window that opens others by the hand-over.
class Opener final : public Form {
 public:
  static constexpr const char* kFormName = "opener";
  explicit Opener(Application& app) : Form(app, kFormName) {}

 protected:
  void InitializeComponent() override {}
};

// A window opened by the hand-over. "Back" gives control back; the close box (Form_Unload)
// does the same, as every such window of the program does.
template <WayBack kWay>
class Opened final : public Form {
 public:
  static constexpr const char* kFormName = kWay == WayBack::Hide ? "info" : "cleaner";
  explicit Opened(Application& app) : Form(app, kFormName, kWay) {
    back.Click = [this] { App().GiveBack(*this); };
  }
  CommandButton back{*this, "back"};
  bool giveBackOnUnload = true;

 protected:
  void InitializeComponent() override {}
  void Form_Unload() override {
    if (giveBackOnUnload) App().GiveBack(*this);
  }
};
using Info = Opened<WayBack::Hide>;
using Cleaner = Opened<WayBack::Unload>;

class HandOverTest : public FormRuntimeTest {
 protected:
  HandOverTest() {
    Register<Opener>(app);
    Register<Info>(app);
    Register<Cleaner>(app);
    opener().Show();
  }
  Opener& opener() { return app.Get<Opener>(); }

  // The host calls that `act` makes, in order.
  template <class Act>
  Log CallsOf(Act act) {
    const std::size_t before = host.FormLog().size();
    act();
    return LogSince(before);
  }
};

TEST_F(HandOverTest, TheOpenerDisablesAndHidesItselfThenTheTargetLoadsAndShows) {
  const Log calls = CallsOf([&] { app.HandOver<Info>(opener()); });
  EXPECT_EQ(calls, (Log{"opener disabled", "opener hidden", "create info", "info shown"}));
  EXPECT_EQ(app.OpenerOf(app.Get<Info>()), &opener());
}

TEST_F(HandOverTest, AWindowThatHidesGivesBackByHidingThenEnablingAndShowingItsOpener) {
  app.HandOver<Info>(opener());
  Info& info = app.Get<Info>();

  EXPECT_EQ(CallsOf([&] { user.Click(info.back); }), (Log{"info hidden", "opener enabled", "opener shown"}));
  EXPECT_TRUE(info.Loaded());
  EXPECT_EQ(app.OpenerOf(info), nullptr);

  // Opened again: shown as it was, not loaded again.
  EXPECT_EQ(CallsOf([&] { app.HandOver<Info>(opener()); }), (Log{"opener disabled", "opener hidden", "info shown"}));

  // Its close box: the same way back, then the window goes with the unload.
  EXPECT_EQ(CallsOf([&] { user.Close(info); }),
            (Log{"info hidden", "opener enabled", "opener shown", "destroy info"}));
  EXPECT_FALSE(info.Loaded());
}

TEST_F(HandOverTest, AWindowThatUnloadsGivesBackByUnloadingThenEnablingAndShowingItsOpener) {
  app.HandOver<Cleaner>(opener());
  Cleaner& cleaner = app.Get<Cleaner>();

  EXPECT_EQ(CallsOf([&] { user.Click(cleaner.back); }), (Log{"destroy cleaner", "opener enabled", "opener shown"}));
  EXPECT_FALSE(cleaner.Loaded());
  EXPECT_TRUE(opener().Visible());
  EXPECT_TRUE(opener().Enabled());

  // Left by its close box, the unload is under way already: the window hides, the opener
  // comes back, and the window goes when the unload ends.
  app.HandOver<Cleaner>(opener());
  EXPECT_EQ(CallsOf([&] { user.Close(cleaner); }),
            (Log{"cleaner hidden", "opener enabled", "opener shown", "destroy cleaner"}));
}

TEST_F(HandOverTest, GivingBackTakesEffectOncePerOpening) {
  app.HandOver<Cleaner>(opener());
  Cleaner& cleaner = app.Get<Cleaner>();
  user.Click(cleaner.back);

  // A second way out that was already on its way (a click handled by the event pump).
  EXPECT_TRUE(CallsOf([&] { app.GiveBack(cleaner); }).empty());

  // The next opening gives back again.
  app.HandOver<Cleaner>(opener());
  EXPECT_EQ(CallsOf([&] { app.GiveBack(cleaner); }), (Log{"destroy cleaner", "opener enabled", "opener shown"}));
}

TEST_F(HandOverTest, AWindowNotOpenedByTheHandOverHasNoOneToGiveBackTo) {
  Info& info = app.Get<Info>();
  info.Show();
  EXPECT_TRUE(CallsOf([&] { user.Click(info.back); }).empty());
  EXPECT_TRUE(info.Visible());
  EXPECT_TRUE(opener().Visible());
}

TEST_F(HandOverTest, AnUnloadWithoutGiveBackEndsTheOpening) {
  app.HandOver<Cleaner>(opener());
  Cleaner& cleaner = app.Get<Cleaner>();
  cleaner.giveBackOnUnload = false;
  cleaner.Unload();
  EXPECT_EQ(app.OpenerOf(cleaner), nullptr);

  // Shown later by other means, it does not hand control to the earlier opener.
  cleaner.Show();
  EXPECT_TRUE(CallsOf([&] { app.GiveBack(cleaner); }).empty());
  EXPECT_TRUE(cleaner.Visible());
}

}  // namespace
}  // namespace tidewick::ui
