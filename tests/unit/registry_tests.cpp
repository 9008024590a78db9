// The registry layer over the contract (platform/registry.h) on the simulated platform: a key
// that closes itself, a value read as text or number, and the visit of every value of a key.
//
// Example of use, as the computer cleaner reads its autostart values:
//
//   const KeyResult run = OpenKeyEx(os, Root::CurrentUser, regpath::kRun, KeyAccess::Open);
//   if (run.status != StatusCode::Success) return;
//   ForEachValue(run.key, [&](const RegValue& value) {
//     if (value.type == RegType::Sz) Use(value.name, value.Text());
//     return Visit::Next;
//   }, ValueLimits{1024, 1024});
//   // the key closes here, also when Use throws
#include "platform/registry.h"

#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tidewick {
namespace {

using sim::RegistryValue;
using sim::SimulatedPlatform;

constexpr Handle HKCU = Root::CurrentUser;
constexpr const char* kKey = "Software\\Tidewick\\Layer";

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class RegistryLayer : public ::testing::Test {
 protected:
  RegistryLayer() { os.CreateRegistryKey(HKCU, kKey); }

  ScopedKey Open() {
    KeyResult opened = OpenKey(os, HKCU, kKey);
    EXPECT_EQ(opened.status, StatusCode::Success);
    return std::move(opened.key);
  }
  // Every value ForEachValue meets, with the status that ended the visit.
  std::pair<std::vector<RegValue>, Status> VisitAll(ValueLimits limits = {}) {
    std::vector<RegValue> seen;
    const ScopedKey key = Open();
    const Status status = ForEachValue(
        key,
        [&](const RegValue& value) {
          seen.push_back(value);
          return Visit::Next;
        },
        limits);
    return {seen, status};
  }

  SimulatedPlatform os;
};

// ---- ScopedKey ------------------------------------------------------------------------------

TEST_F(RegistryLayer, AKeyClosesAtTheEndOfItsScopeOnceAndAfterAMoveOnlyInItsNewOwner) {
  {
    const ScopedKey key = Open();
    EXPECT_TRUE(key);
    EXPECT_EQ(os.OpenHandleCount(), 1u);
  }
  EXPECT_EQ(os.OpenHandleCount(), 0u);

  ScopedKey outer(os);
  {
    ScopedKey inner = Open();
    const Handle handle = inner.Get();
    outer = std::move(inner);
    EXPECT_FALSE(inner);  // NOLINT(bugprone-use-after-move): a moved-from key holds nothing
    EXPECT_EQ(outer.Get(), handle);
  }
  EXPECT_EQ(os.OpenHandleCount(), 1u);
  outer = Open();  // the key it held is closed first
  EXPECT_EQ(os.OpenHandleCount(), 1u);
  EXPECT_EQ(outer.Close(), StatusCode::Success);
  EXPECT_EQ(os.OpenHandleCount(), 0u);
  EXPECT_FALSE(outer);
}

TEST_F(RegistryLayer, CloseAnswersTheStatusAndPassesAnEmptyKeyOnAs0) {
  KeyResult missing = OpenKey(os, HKCU, "Software\\Nowhere");
  EXPECT_EQ(missing.status, StatusCode::FileNotFound);
  EXPECT_FALSE(missing.key);
  EXPECT_EQ(missing.key.Close(), StatusCode::InvalidHandle);  // RegCloseKey(0)

  KeyResult created = CreateKey(os, HKCU, "Software\\Tidewick\\New\\Level\\");
  EXPECT_EQ(created.status, StatusCode::Success);
  EXPECT_TRUE(os.RegistryKeyExists(HKCU, "Software\\Tidewick\\New\\Level"));
  EXPECT_EQ(created.key.Close(), StatusCode::Success);
  EXPECT_EQ(created.key.Close(), StatusCode::InvalidHandle);  // nothing held any more

  os.RefuseRegistryOpen(HKCU, kKey);
  const KeyResult refused = OpenKeyEx(os, HKCU, kKey, KeyAccess::Open);
  EXPECT_EQ(refused.status, StatusCode::AccessDenied);
  EXPECT_FALSE(refused.key);
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

TEST_F(RegistryLayer, AKeyIsClosedWhenAnExceptionLeavesItsScope) {
  os.SetRegistryValue(HKCU, kKey, "a", RegistryValue::Text("x"));
  // Thrown after the opening, and thrown by a visitor in the middle of a visit.
  EXPECT_THROW(
      {
        const KeyResult opened = OpenKeyEx(os, HKCU, kKey, KeyAccess::Open);
        ASSERT_EQ(os.OpenHandleCount(), 1u);
        throw std::runtime_error("after the open");
      },
      std::runtime_error);
  EXPECT_EQ(os.OpenHandleCount(), 0u);

  EXPECT_THROW(
      {
        const ScopedKey key = Open();
        ForEachValue(key, [](const RegValue&) -> Visit { throw std::runtime_error("in the visitor"); });
      },
      std::runtime_error);
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

// ---- ReadValue ------------------------------------------------------------------------------

TEST_F(RegistryLayer, ReadValueKeepsAbsentEmptyTextAndZeroApart) {
  struct Case {
    const char* what;
    std::optional<RegistryValue> stored;  // none: the value is not there
    std::optional<RegData> expected;
  };
  const Case cases[] = {
      {"absent", std::nullopt, std::nullopt},
      {"empty text", RegistryValue::Text(""), RegData(std::string())},
      {"empty text stored without NUL (size 0)", RegistryValue::Bytes(RegType::Sz, {}), RegData(std::string())},
      {"the number 0", RegistryValue::Dword(0), RegData(0u)},
      {"the text 0 stays text", RegistryValue::Text("0"), RegData(std::string("0"))},
      {"text outside ASCII", RegistryValue::Text("Привет, 世界"), RegData(std::string("Привет, 世界"))},
      {"text stored without its NUL", RegistryValue::Bytes(RegType::Sz, Bytes("abc")), RegData(std::string("abc"))},
      {"text cut at its first NUL", RegistryValue::Bytes(RegType::Sz, {'a', 0, 'b', 0}), RegData(std::string("a"))},
      {"a number with the top bit set", RegistryValue::Dword(0xFFFFFFFFu), RegData(0xFFFFFFFFu)},
      {"expandable text is neither", RegistryValue::Text("%TEMP%", RegType::ExpandSz), std::nullopt},
      {"binary is neither", RegistryValue::Bytes(RegType::Binary, {1, 0, 0, 0}), std::nullopt},
      {"an oversized number is neither", RegistryValue::Bytes(RegType::Dword, {1, 0, 0, 0, 0, 0, 0, 0}),
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    os.DeleteRegistryKey(HKCU, kKey);
    os.CreateRegistryKey(HKCU, kKey);
    if (c.stored) os.SetRegistryValue(HKCU, kKey, "Setting", *c.stored);
    const ScopedKey key = Open();
    EXPECT_EQ(ReadValue(key, "Setting"), c.expected);
  }
  // A key that did not open answers nothing.
  const KeyResult missing = OpenKey(os, HKCU, "Software\\Nowhere");
  EXPECT_EQ(ReadValue(missing.key, "Setting"), std::nullopt);
  EXPECT_EQ(os.OpenHandleCount(), 0u);
}

// ---- ForEachValue ---------------------------------------------------------------------------

TEST_F(RegistryLayer, EveryValueIsVisitedWholeHoweverLongItsNameAndData) {
  // Around the sizes the buffers start with and grow through (a name of 256 bytes needs 257
  // with its terminator), and far past them; both at once in one value too.
  struct Stored {
    std::string name;
    std::vector<std::uint8_t> data;
  };
  std::vector<Stored> stored;
  for (std::size_t nameBytes : {1u, 255u, 256u, 257u, 1000u, 16383u}) {
    stored.push_back({std::string(nameBytes - 1, 'n') + std::to_string(stored.size()), Bytes("d")});
  }
  for (std::size_t dataBytes : {0u, 1u, 1023u, 1024u, 1025u, 70000u}) {
    stored.push_back({"data" + std::to_string(dataBytes), std::vector<std::uint8_t>(dataBytes, 0x5A)});
  }
  stored.push_back({std::string(3000, 'b'), std::vector<std::uint8_t>(5000, 7)});
  stored.push_back({"", Bytes("the unnamed value")});
  for (const Stored& s : stored) os.SetRegistryValue(HKCU, kKey, s.name, RegistryValue::Bytes(RegType::Binary, s.data));

  const auto [seen, status] = VisitAll();

  EXPECT_EQ(status, StatusCode::NoMoreItems);
  ASSERT_EQ(seen.size(), stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE("value " + std::to_string(i) + " of a name of " + std::to_string(stored[i].name.size()) + " bytes");
    EXPECT_EQ(seen[i].name, stored[i].name);
    EXPECT_EQ(seen[i].type, RegType::Binary);
    EXPECT_EQ(seen[i].data, stored[i].data);
  }
}

// With limits, a visit sees exactly what fixed buffers of that size would: a value that does
// not fit ends it, and no value after it is visited.
TEST_F(RegistryLayer, AValuePastTheLimitsEndsTheVisit) {
  struct Case {
    const char* what;
    std::string name;
    std::vector<std::uint8_t> data;
    bool fits;
  };
  const Case cases[] = {
      {"a name of 1023 bytes and its terminator", std::string(1023, 'n'), Bytes("x"), true},
      {"a name of 1024 bytes", std::string(1024, 'n'), Bytes("x"), false},
      {"data of 1024 bytes", "v", std::vector<std::uint8_t>(1024, 1), true},
      {"data of 1025 bytes", "v", std::vector<std::uint8_t>(1025, 1), false},
      {"a name of 341 characters of three bytes each (1023 bytes)", [] {
         std::string name;
         for (int i = 0; i < 341; ++i) name += "世";
         return name;
       }(),
       Bytes("x"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    os.DeleteRegistryKey(HKCU, kKey);
    os.SetRegistryValue(HKCU, kKey, "before", RegistryValue::Text("b"));
    os.SetRegistryValue(HKCU, kKey, c.name, RegistryValue::Bytes(RegType::Binary, c.data));
    os.SetRegistryValue(HKCU, kKey, "after", RegistryValue::Text("a"));

    const auto [seen, status] = VisitAll(ValueLimits{1024, 1024});

    std::vector<std::string> names;
    for (const RegValue& value : seen) names.push_back(value.name);
    if (c.fits) {
      EXPECT_EQ(status, StatusCode::NoMoreItems);
      EXPECT_EQ(names, (std::vector<std::string>{"before", c.name, "after"}));
      EXPECT_EQ(seen[1].data, c.data);
    } else {
      EXPECT_EQ(status, StatusCode::MoreData);
      EXPECT_EQ(names, std::vector<std::string>{"before"});
    }
  }
}

TEST_F(RegistryLayer, AVisitorCanStopAndTextIsReadUpToItsTerminator) {
  os.SetRegistryValue(HKCU, kKey, "text", RegistryValue::Text("C:\\a.exe"));
  os.SetRegistryValue(HKCU, kKey, "unterminated", RegistryValue::Bytes(RegType::Sz, Bytes("C:\\b.exe")));
  os.SetRegistryValue(HKCU, kKey, "two", RegistryValue::Bytes(RegType::Sz, {'c', 0, 'd', 0}));
  os.SetRegistryValue(HKCU, kKey, "never", RegistryValue::Text("n"));

  std::vector<std::string> texts;
  const ScopedKey key = Open();
  const Status status = ForEachValue(key, [&](const RegValue& value) {
    texts.push_back(value.Text());
    return value.name == "two" ? Visit::Stop : Visit::Next;
  });

  EXPECT_EQ(status, StatusCode::Success);
  EXPECT_EQ(texts, (std::vector<std::string>{"C:\\a.exe", "C:\\b.exe", "c"}));

  // A key without values, and a key that did not open.
  os.CreateRegistryKey(HKCU, "Software\\Tidewick\\Empty");
  const KeyResult empty = OpenKey(os, HKCU, "Software\\Tidewick\\Empty");
  int visits = 0;
  EXPECT_EQ(ForEachValue(empty.key, [&](const RegValue&) { ++visits; return Visit::Next; }), StatusCode::NoMoreItems);
  const KeyResult missing = OpenKey(os, HKCU, "Software\\Nowhere");
  EXPECT_EQ(ForEachValue(missing.key, [&](const RegValue&) { ++visits; return Visit::Next; }),
            StatusCode::InvalidHandle);
  EXPECT_EQ(visits, 0);
}

}  // namespace
}  // namespace tidewick
