// The handle owners: every handle one takes is closed exactly once, never an invalid one, and
// closing keeps the last error.
#include "win32/handles.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

namespace tidewick::win32 {
namespace {

struct Thing {};
Thing things[3];
std::vector<Thing*> closed;

void CloseThing(Thing* thing) { closed.push_back(thing); }

using NullOwner = UniqueHandle<Thing*, &CloseThing>;          // invalid value 0
using MinusOneOwner = UniqueHandle<Thing*, &CloseThing, -1>;  // invalid value -1

// A copy would close the same handle twice.
static_assert(!std::is_copy_constructible_v<NullOwner>);
static_assert(!std::is_copy_assignable_v<NullOwner>);
static_assert(std::is_nothrow_move_constructible_v<NullOwner>);

class UniqueHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { closed.clear(); }
};

TEST_F(UniqueHandleTest, ClosesItsHandleOnceWhenItEnds) {
  { NullOwner owner(&things[0]); }
  EXPECT_EQ(closed, std::vector<Thing*>{&things[0]});
}

TEST_F(UniqueHandleTest, MovingHandsTheHandleOverWithoutClosingIt) {
  {
    NullOwner first(&things[0]);
    NullOwner second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), &things[0]);
    EXPECT_TRUE(closed.empty());
  }
  EXPECT_EQ(closed, std::vector<Thing*>{&things[0]});
}

TEST_F(UniqueHandleTest, MoveAssignmentClosesTheHandleItReplaces) {
  {
    NullOwner target(&things[0]);
    NullOwner source(&things[1]);
    target = std::move(source);
    EXPECT_EQ(closed, std::vector<Thing*>{&things[0]});
    EXPECT_EQ(target.get(), &things[1]);
    auto& self = target;
    target = std::move(self);  // moving onto itself keeps the handle
    EXPECT_EQ(target.get(), &things[1]);
  }
  EXPECT_EQ(closed, (std::vector<Thing*>{&things[0], &things[1]}));
}

TEST_F(UniqueHandleTest, ReleaseGivesTheHandleUpAndResetClosesIt) {
  NullOwner owner(&things[0]);
  EXPECT_EQ(owner.release(), &things[0]);
  EXPECT_FALSE(owner.valid());
  owner.reset(&things[1]);
  owner.reset(&things[2]);
  owner.reset();
  EXPECT_EQ(closed, (std::vector<Thing*>{&things[1], &things[2]}));
}

TEST_F(UniqueHandleTest, InvalidValuesAreNeverClosed) {
  { NullOwner empty; }
  { NullOwner null(nullptr); }
  { MinusOneOwner empty; }
  { MinusOneOwner minusOne(reinterpret_cast<Thing*>(-1)); }
  EXPECT_TRUE(closed.empty());
  // Under the -1 convention, 0 is an ordinary value and is closed.
  { MinusOneOwner zero(nullptr); }
  EXPECT_EQ(closed, std::vector<Thing*>{nullptr});
}

// A close function that fails the way a real one can, overwriting the last error.
void CloseThingNoisily(Thing* thing) {
  closed.push_back(thing);
  ::SetLastError(ERROR_INVALID_HANDLE);
}

TEST_F(UniqueHandleTest, ClosingKeepsTheLastErrorOfTheCallBefore) {
  using NoisyOwner = UniqueHandle<Thing*, &CloseThingNoisily>;
  NoisyOwner owner(&things[0]);
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  owner.reset(&things[1]);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  {
    NoisyOwner ending(&things[2]);
    ::SetLastError(ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(closed, (std::vector<Thing*>{&things[0], &things[2]}));
}

TEST(UniqueHandleWin32, AnOwnedEventIsClosedWhenTheOwnerEnds) {
  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  DWORD flags = 0;
  {
    UniqueHandle<HANDLE, &::CloseHandle> owner(event);
    EXPECT_TRUE(::GetHandleInformation(event, &flags));
  }
  EXPECT_FALSE(::GetHandleInformation(event, &flags));
}

// ---- the owners of GDI objects, menus, windows and device contexts ---------------------------

HFONT MakeFont() {
  LOGFONTW font{};
  font.lfHeight = -11;
  lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
  return ::CreateFontIndirectW(&font);
}

HWND MakeWindow() {
  return ::CreateWindowExW(0, L"Static", L"owner test", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

TEST(HandleOwners, FontsAndBitmapsAreDeletedWhenTheirOwnersEnd) {
  HFONT font = MakeFont();
  ASSERT_NE(font, nullptr);
  HBITMAP bitmap = ::CreateBitmap(4, 4, 1, 32, nullptr);
  ASSERT_NE(bitmap, nullptr);
  {
    UniqueFont fontOwner(font);
    UniqueBitmap bitmapOwner(bitmap);
    EXPECT_EQ(::GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  }
  EXPECT_EQ(::GetObjectType(font), 0u);
  EXPECT_EQ(::GetObjectType(bitmap), 0u);
}

TEST(HandleOwners, AMenuIsDestroyedUnlessItWasHandedOn) {
  HMENU menu = ::CreatePopupMenu();
  { UniqueMenu owner(menu); }
  EXPECT_FALSE(::IsMenu(menu));

  // Appended to a bar as a popup, the menu belongs to the bar.
  UniqueMenu bar(::CreateMenu());
  UniqueMenu popup(::CreatePopupMenu());
  HMENU handedOn = popup.get();
  ASSERT_TRUE(::AppendMenuW(bar.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(handedOn), L"File"));
  popup.release();
  EXPECT_TRUE(::IsMenu(handedOn));
  bar.reset();
  EXPECT_FALSE(::IsMenu(handedOn));
}

TEST(HandleOwners, AWindowIsDestroyedWithItsOwner) {
  HWND hwnd = MakeWindow();
  ASSERT_NE(hwnd, nullptr);
  { UniqueWindow owner(hwnd); }
  EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(HandleOwners, DeviceContextsAreLentByTheWindowAndPaintingValidatesIt) {
  UniqueWindow window(MakeWindow());
  ASSERT_TRUE(window);
  {
    WindowDC dc(window.get());
    ASSERT_TRUE(dc);
    EXPECT_EQ(::WindowFromDC(dc.get()), window.get());
  }
  ::ShowWindow(window.get(), SW_SHOWNA);
  ::InvalidateRect(window.get(), nullptr, FALSE);
  ASSERT_TRUE(::GetUpdateRect(window.get(), nullptr, FALSE));
  {
    PaintDC paint(window.get());
    EXPECT_TRUE(paint);
  }
  // EndPaint ran: nothing is left to paint.
  EXPECT_FALSE(::GetUpdateRect(window.get(), nullptr, FALSE));
}

TEST(HandleOwners, ASelectedObjectIsSelectedOutAgainSoItCanBeDeleted) {
  UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  UniqueFont font(MakeFont());
  const HGDIOBJ before = ::GetCurrentObject(dc.get(), OBJ_FONT);
  {
    SelectedObject selected(dc.get(), font.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_FONT), font.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_FONT), before);
  HFONT handle = font.get();
  font.reset();
  EXPECT_EQ(::GetObjectType(handle), 0u);
}

}  // namespace
}  // namespace tidewick::win32
