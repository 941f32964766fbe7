// The registry functions of the profile family, through the exported C
// functions, on a registry in memory seen through a wrapper that counts open
// keys and injects failures.
#include "platform/in_memory/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "fault/for_each_fault.h"
#include "fault/registry.h"
#include "profile/registry_access.h"

namespace dzv::platform {
namespace {

using testing::FaultyRegistry;

const RegKey kHkcu = DZV_HKEY_CURRENT_USER;

class RegistryAccess : public ::testing::Test {
 protected:
  // The value as stored, through the registry itself.
  std::string Stored(const char* path, const char* name, uint32_t* type = nullptr) {
    RegKey key = nullptr;
    if (store_.OpenKey(kHkcu, path, kKeyRead, &key) != kErrorSuccess) return "<no key>";
    std::string data(40000, '\0');
    uint32_t size = static_cast<uint32_t>(data.size());
    const int32_t rc =
        store_.QueryValue(key, name, type, reinterpret_cast<uint8_t*>(data.data()), &size);
    store_.CloseKey(key);
    return rc == kErrorSuccess ? data.substr(0, size) : "<no value>";
  }
  bool KeyExists(const char* path) {
    RegKey key = nullptr;
    if (store_.OpenKey(kHkcu, path, kKeyRead, &key) != kErrorSuccess) return false;
    store_.CloseKey(key);
    return true;
  }
  void SetRaw(const char* path, const char* name, std::string_view data, uint32_t type) {
    RegKey key = nullptr;
    ASSERT_EQ(store_.CreateKey(kHkcu, path, kKeyWrite, &key), kErrorSuccess);
    ASSERT_EQ(store_.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                              static_cast<uint32_t>(data.size())),
              kErrorSuccess);
    store_.CloseKey(key);
  }
  void TearDown() override {
    EXPECT_EQ(recorder_.open_keys(), 0) << "a key was left open";
    EXPECT_FALSE(recorder_.closed_a_root()) << "the caller's root was closed";
  }

  InMemoryRegistry store_;
  FaultyRegistry recorder_{&store_};
  ScopedService<Registry> installed_{&recorder_};
};

TEST_F(RegistryAccess, WriteStoresTheTextWithItsZeroCreatingTheKey) {
  ASSERT_FALSE(KeyExists("Software\\New"));
  EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "Software\\New\\Deep", "Empty", ""), 1);
  uint32_t type = 0;
  EXPECT_EQ(Stored("Software\\New\\Deep", "Empty", &type), std::string(1, '\0'));
  EXPECT_EQ(type, kRegSz);
  EXPECT_TRUE(KeyExists("Software\\New"));
  EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "Software\\New\\Deep", "empty", "two"), 1);
  EXPECT_EQ(Stored("Software\\New\\Deep", "Empty"), std::string("two", 4));
  EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "Software\\New", nullptr, "default"), 1);
  EXPECT_EQ(Stored("Software\\New", ""), std::string("default", 8));

  EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "Software\\Null", "v", nullptr), 0);
  EXPECT_FALSE(KeyExists("Software\\Null")) << "a null text touches nothing";
}

TEST_F(RegistryAccess, ReadCopiesTheDataAsStoredWhenTheyFit) {
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "R", "Text", "hello"), 1);
  SetRaw("R", "Raw", std::string("\x01\x02\x03", 3), kRegBinary);
  char buffer[16];
  uint32_t size = 6;
  ASSERT_EQ(_ProfileRegistryRead(kHkcu, "R", "text", buffer, &size), 1);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(size, 6u);

  std::memset(buffer, 'x', sizeof buffer);
  size = 5;
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, "R", "Text", buffer, &size), 0);
  EXPECT_EQ(size, 6u) << "the platform's report reaches the caller";
  EXPECT_EQ(buffer[0], 'x');

  size = sizeof buffer;
  ASSERT_EQ(_ProfileRegistryRead(kHkcu, "R", "Raw", buffer, &size), 1);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::string(buffer, 4), std::string("\x01\x02\x03x", 4)) << "no zero is added";

  size = 0;
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, "R", "Text", nullptr, &size), 1);
  EXPECT_EQ(size, 6u);

  size = 7;
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, "R", "Missing", buffer, &size), 0);
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, "Missing", "Text", buffer, &size), 0);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(buffer[0], '\x01');
}

TEST_F(RegistryAccess, DeleteValueRemovesOneValue) {
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "D", "a", "1"), 1);
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "D", "b", "2"), 1);
  EXPECT_EQ(_ProfileRegistryDeleteValue(kHkcu, "D", "A"), 1);
  EXPECT_EQ(Stored("D", "a"), "<no value>");
  EXPECT_EQ(Stored("D", "b"), std::string("2", 2));
  EXPECT_EQ(_ProfileRegistryDeleteValue(kHkcu, "D", "a"), 0);
  EXPECT_EQ(_ProfileRegistryDeleteValue(kHkcu, "Missing", "b"), 0);
}

TEST_F(RegistryAccess, DeleteKeyTakesTheTreeDepthFirst) {
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "Leaf", "v", "1"), 1);
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, "Leaf"), 1);
  EXPECT_FALSE(KeyExists("Leaf"));
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, "Leaf"), 0);

  const char* paths[] = {"T\\a\\x\\1\\deep", "T\\a\\x\\2", "T\\a\\y", "T\\b", "T\\c\\z"};
  for (const char* p : paths) ASSERT_EQ(_ProfileRegistryWrite(kHkcu, p, "v", p), 1);
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "Tail", "v", "stays"), 1);
  recorder_.ResetCounts();
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, "T"), 1);
  EXPECT_EQ(recorder_.deleted(),
            (std::vector<std::string>{"deep", "1", "2", "x", "y", "a", "b", "z", "c", "T"}));
  EXPECT_EQ(recorder_.most_open(), 5) << "one key open per level";
  EXPECT_FALSE(KeyExists("T"));
  EXPECT_TRUE(KeyExists("Tail"));

  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, ""), 0);
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, nullptr), 0);
  EXPECT_TRUE(KeyExists("Tail")) << "an empty path never empties the root";
}

// A walk deeper than any honest tree (a damaged registry whose keys lead
// round in a circle looks endless) stops with 0 before it deletes anything
// of the path it went down.
TEST_F(RegistryAccess, DeleteKeyWalksNoDeeperThanTheRegistryLetsATreeGrow) {
  for (size_t depth : {profile::kMaxKeyDepth, profile::kMaxKeyDepth + 1}) {
    std::string path = "Deep";
    for (size_t level = 1; level < depth; ++level) path += "\\k";
    ASSERT_EQ(_ProfileRegistryWrite(kHkcu, path.c_str(), "v", "1"), 1);
    const bool within = depth <= profile::kMaxKeyDepth;
    EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, "Deep"), within ? 1 : 0) << depth << " levels";
    EXPECT_EQ(KeyExists(path.c_str()), !within) << depth << " levels";
    EXPECT_LE(recorder_.most_open(), static_cast<int>(profile::kMaxKeyDepth));
  }
}

TEST_F(RegistryAccess, DeleteKeyFailingPartWayLeavesTheRestInPlace) {
  for (const char* p : {"T\\a\\1", "T\\b\\1", "T\\b\\2", "T\\c"}) {
    ASSERT_EQ(_ProfileRegistryWrite(kHkcu, p, "v", "1"), 1);
  }
  recorder_.FailDeleteOf("2");
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, "T"), 0);
  EXPECT_EQ(recorder_.deleted(), (std::vector<std::string>{"1", "a", "1"}));
  EXPECT_FALSE(KeyExists("T\\a"));
  EXPECT_FALSE(KeyExists("T\\b\\1"));
  for (const char* p : {"T", "T\\b", "T\\b\\2", "T\\c"}) EXPECT_TRUE(KeyExists(p)) << p;
}

TEST_F(RegistryAccess, EnumValuesListsNamesCutToTheLargestLength) {
  char buffer[128];
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "E\\Empty", nullptr, "x"), 1);
  ASSERT_EQ(_ProfileRegistryDeleteValue(kHkcu, "E\\Empty", ""), 1);
  std::strcpy(buffer, "junk");
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "E\\Empty", buffer, 100), 1);
  EXPECT_STREQ(buffer, "");

  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "E", "A", "1"), 1);
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "E", "B", "2"), 1);
  struct Case {
    int32_t largest;
    const char* list;
  } cases[] = {{3, "A|B"}, {100, "A|B|"}, {4, "A|B|"}, {1, "A"}, {0, ""}, {-1, ""}};
  for (const Case& c : cases) {
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "E", buffer, c.largest), 1);
    EXPECT_STREQ(buffer, c.list) << c.largest;
  }
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "E", nullptr, "unnamed"), 1);
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "E", buffer, 100), 1);
  EXPECT_STREQ(buffer, "A|B||");

  std::strcpy(buffer, "untouched");
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Missing", buffer, 100), 0);
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "E", nullptr, 100), 0);
  EXPECT_STREQ(buffer, "untouched");
}

TEST_F(RegistryAccess, EnumValuesFailsAsAWholeBeyondItsWorkAreas) {
  char buffer[64];
  const std::string long_name(256, 'n');
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "Name", std::string(255, 'n').c_str(), "1"), 1);
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Name", buffer, 10), 1);
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "Name", long_name.c_str(), "1"), 1);
  std::strcpy(buffer, "untouched");
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Name", buffer, 10), 0);
  EXPECT_STREQ(buffer, "untouched");

  SetRaw("Data", "fits", std::string(32000, 'd'), kRegBinary);
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Data", buffer, 10), 1);
  EXPECT_STREQ(buffer, "fits|");
  SetRaw("Data", "big", std::string(32001, 'd'), kRegBinary);
  std::strcpy(buffer, "untouched");
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Data", buffer, 10), 0);
  EXPECT_STREQ(buffer, "untouched");
}

TEST_F(RegistryAccess, EnumValuesListsAtMost999Values) {
  RegKey key = nullptr;
  ASSERT_EQ(store_.CreateKey(kHkcu, "Many", kKeyWrite, &key), kErrorSuccess);
  std::string expected;
  for (int i = 0; i < 999; ++i) {
    const std::string name = "v" + std::to_string(i);
    ASSERT_EQ(store_.SetValue(key, name.c_str(), kRegSz, reinterpret_cast<const uint8_t*>(""), 1),
              kErrorSuccess);
    expected += name + "|";
  }
  std::vector<char> buffer(expected.size() + 1, 'x');
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Many", buffer.data(), 100000), 1);
  EXPECT_EQ(std::string(buffer.data()), expected);

  ASSERT_EQ(store_.SetValue(key, "v999", kRegSz, reinterpret_cast<const uint8_t*>(""), 1),
            kErrorSuccess);
  std::fill(buffer.begin(), buffer.end(), 'x');
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "Many", buffer.data(), 100000), 0);
  EXPECT_EQ(buffer[0], 'x');
  store_.CloseKey(key);
}

// Fails each platform call of one function in turn, until a run injects no
// fault, first with an error code and then with memory running out: each
// run gives the function's failure result (unless only an ignored close
// failed), leaves no key open and never closes the root.
TEST_F(RegistryAccess, EveryFailingPlatformCallGivesZeroAndClosesEveryKey) {
  struct Op {
    const char* name;
    bool counts_close;
    int32_t (*run)();
  } ops[] = {
      {"Write", true, [] { return _ProfileRegistryWrite(kHkcu, "F\\w", "v", "text"); }},
      {"Read", false,
       [] {
         char buffer[16];
         uint32_t size = sizeof buffer;
         return _ProfileRegistryRead(kHkcu, "F\\r", "v", buffer, &size);
       }},
      {"DeleteValue", false, [] { return _ProfileRegistryDeleteValue(kHkcu, "F\\r", "gone"); }},
      {"DeleteKey", false, [] { return _ProfileRegistryDeleteKey(kHkcu, "F\\tree"); }},
      {"EnumValues", false,
       [] {
         char buffer[16] = "untouched";
         const int32_t rc = _ProfileRegistryEnumValues(kHkcu, "F\\r", buffer, 10);
         return rc == 0 && std::strcmp(buffer, "untouched") != 0 ? -1 : rc;
       }},
  };
  for (const bool out_of_memory : {false, true}) {
    for (const Op& op : ops) {
      SCOPED_TRACE(op.name);
      testing::ForEachFault([&](int64_t n, bool& met) {
        // A fresh tree for every run.
        recorder_.FailNth(0);
        _ProfileRegistryDeleteKey(kHkcu, "F");
        for (const char* p : {"F\\w", "F\\tree\\a\\b", "F\\tree\\c"}) {
          ASSERT_EQ(_ProfileRegistryWrite(kHkcu, p, "v", "1"), 1);
        }
        ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "F\\r", "v", "1"), 1);
        ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "F\\r", "gone", "1"), 1);

        recorder_.FailNth(static_cast<int>(n), out_of_memory);
        const int32_t rc = op.run();
        const std::string failed = recorder_.injected();
        recorder_.FailNth(0);
        ASSERT_EQ(recorder_.open_keys(), 0) << "a key left open";
        met = !failed.empty();
        const bool ignored = failed == "CloseKey" && !op.counts_close;
        EXPECT_EQ(rc, met && !ignored ? 0 : 1) << "with " << failed << " failing";
      });
    }
  }
}

// A write is done only when its key closes; reading, listing and deleting
// have what they came for before.
TEST_F(RegistryAccess, AFailedCloseFailsAWriteOnly) {
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, "C", "v", "1"), 1);
  recorder_.FailCloses();
  EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "C", "v", "2"), 0);
  char buffer[8];
  uint32_t size = sizeof buffer;
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, "C", "v", buffer, &size), 1);
  EXPECT_EQ(_ProfileRegistryEnumValues(kHkcu, "C", buffer, 8), 1);
  EXPECT_EQ(_ProfileRegistryDeleteValue(kHkcu, "C", "v"), 1);
}

TEST_F(RegistryAccess, ThroughAStaleRootEveryFunctionFails) {
  RegKey root = nullptr;
  ASSERT_EQ(store_.CreateKey(kHkcu, "Stale", kKeyAllAccess, &root), kErrorSuccess);
  ASSERT_EQ(_ProfileRegistryWrite(root, "Sub", "v", "1"), 1);
  ASSERT_EQ(_ProfileRegistryDeleteKey(kHkcu, "Stale\\Sub"), 1);
  ASSERT_EQ(_ProfileRegistryDeleteKey(kHkcu, "Stale"), 1);
  char buffer[8];
  uint32_t size = sizeof buffer;
  EXPECT_EQ(_ProfileRegistryWrite(root, "Sub", "v", "1"), 0);
  EXPECT_EQ(_ProfileRegistryRead(root, "", "v", buffer, &size), 0);
  EXPECT_EQ(_ProfileRegistryEnumValues(root, "", buffer, 8), 0);
  EXPECT_EQ(store_.CloseKey(root), kErrorSuccess);
  const RegKey garbage = reinterpret_cast<RegKey>(uintptr_t{0x1234});
  EXPECT_EQ(_ProfileRegistryWrite(garbage, "Sub", "v", "1"), 0);
  EXPECT_EQ(_ProfileRegistryDeleteKey(garbage, "Sub"), 0);
}

}  // namespace
}  // namespace dzv::platform
