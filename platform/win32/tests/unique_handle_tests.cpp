// The move-only handle owner: every handle it takes is closed exactly once, never an invalid one.
#include "platform/platform_operations.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"

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

}  // namespace
}  // namespace tidewick::win32
