// The registry exports on the system registry: what reaches the registry
// and back, the roots being the system's own handles, deep deletes, and
// the value list in the system's index order with its cuts, and the
// system's codes for what the work areas cannot hold. (The exports' own
// logic is tested on the in-memory registry, registry_test.cc.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "duduzuvez210.h"

namespace {

const DZV_HKEY kHkcu = DZV_HKEY_CURRENT_USER;

// A key of its own below HKEY_CURRENT_USER, removed with its tree at the end.
class SystemRegistry : public ::testing::Test {
 protected:
  SystemRegistry()
      : path_("Software\\dzv-tests\\win-" + std::to_string(::GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~SystemRegistry() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()); }

  std::string Path(const std::string& below = "") const {
    return below.empty() ? path_ : path_ + "\\" + below;
  }
  HKEY Open(const std::string& below = "") const {
    HKEY key = nullptr;
    EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, Path(below).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  bool Exists(const std::string& below) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, Path(below).c_str(), 0, KEY_READ, &key) != 0) {
      return false;
    }
    ::RegCloseKey(key);
    return true;
  }
  // The value list of the key, as the export gives it with `largest`.
  std::string List(const std::string& below, int32_t largest, int32_t* result) const {
    std::string buffer(static_cast<size_t>(largest < 0 ? 0 : largest) + 1, '\x7f');
    *result = _ProfileRegistryEnumValues(kHkcu, Path(below).c_str(), buffer.data(), largest);
    return buffer.substr(0, buffer.find('\0'));
  }

 private:
  const std::string path_;
};

TEST_F(SystemRegistry, RootsAreTheSystemsOwnHandles) {
  EXPECT_EQ(reinterpret_cast<HKEY>(DZV_HKEY_CLASSES_ROOT), HKEY_CLASSES_ROOT);
  EXPECT_EQ(reinterpret_cast<HKEY>(DZV_HKEY_CURRENT_USER), HKEY_CURRENT_USER);
  EXPECT_EQ(reinterpret_cast<HKEY>(DZV_HKEY_LOCAL_MACHINE), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reinterpret_cast<HKEY>(DZV_HKEY_USERS), HKEY_USERS);
  EXPECT_EQ(reinterpret_cast<HKEY>(DZV_HKEY_CURRENT_CONFIG), HKEY_CURRENT_CONFIG);

  // A key that the caller opened itself is a root as good as these, and
  // stays open.
  HKEY own = Open();
  ASSERT_EQ(_ProfileRegistryWrite(reinterpret_cast<DZV_HKEY>(own), "Sub", "v", "x"), 1);
  EXPECT_TRUE(Exists("Sub"));
  EXPECT_EQ(::RegSetValueExA(own, "still", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1),
            ERROR_SUCCESS);
  EXPECT_EQ(::RegCloseKey(own), ERROR_SUCCESS);
}

TEST_F(SystemRegistry, ValuesReachTheRegistryAsStoredAndComeBackAsStored) {
  const std::string app = Path("A\\B");  // keys made on the way
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, app.c_str(), "Color", "red"), 1);
  ASSERT_EQ(_ProfileRegistryWrite(kHkcu, app.c_str(), "Empty", ""), 1);
  HKEY key = Open("A\\B");
  DWORD type = 0, size = 16;
  BYTE data[16];
  ASSERT_EQ(::RegQueryValueExA(key, "color", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("red", 4));
  size = sizeof data;
  ASSERT_EQ(::RegQueryValueExA(key, "Empty", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u) << "the empty text is its zero byte";

  // Any type is read as its bytes, with the length the system reports.
  const DWORD number = 0x01020304;
  ASSERT_EQ(::RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof number),
            ERROR_SUCCESS);
  char buffer[8] = {};
  uint32_t room = sizeof buffer;
  ASSERT_EQ(_ProfileRegistryRead(kHkcu, app.c_str(), "Number", buffer, &room), 1);
  EXPECT_EQ(room, 4u);
  EXPECT_EQ(std::string(buffer, 4), std::string("\x04\x03\x02\x01", 4));
  room = 3;
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, app.c_str(), "Color", buffer, &room), 0);
  EXPECT_EQ(room, 4u) << "the length needed";
  EXPECT_EQ(_ProfileRegistryDeleteValue(kHkcu, app.c_str(), "COLOR"), 1);
  EXPECT_EQ(::RegQueryValueExA(key, "Color", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(::RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(SystemRegistry, DeleteKeyTakesTheWholeTreeBelowIt) {
  for (const char* below : {"T\\A\\X\\Deep", "T\\A\\Y", "T\\B", "T\\C\\Z", "Kept\\Sub"}) {
    ASSERT_EQ(_ProfileRegistryWrite(kHkcu, Path(below).c_str(), "v", "1"), 1);
  }
  // Enough sub-keys that their order and index 0 after each delete matter.
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(_ProfileRegistryWrite(kHkcu, Path("T\\Many\\k" + std::to_string(i)).c_str(), "", ""),
              1);
  }
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, Path("T").c_str()), 1);
  EXPECT_FALSE(Exists("T"));
  EXPECT_TRUE(Exists("Kept"));
  EXPECT_EQ(_ProfileRegistryDeleteKey(kHkcu, Path("T").c_str()), 0) << "gone already";
  // An empty path names the root itself, which is never walked or deleted.
  HKEY own = Open("Kept");
  EXPECT_EQ(_ProfileRegistryDeleteKey(reinterpret_cast<DZV_HKEY>(own), ""), 0);
  EXPECT_EQ(::RegCloseKey(own), ERROR_SUCCESS);
  EXPECT_TRUE(Exists("Kept\\Sub"));
}

TEST_F(SystemRegistry, ValueListFollowsTheSystemsIndexOrderAndIsCut) {
  int32_t result = -1;
  HKEY key = Open("L");
  EXPECT_EQ(List("L", 100, &result), "");
  EXPECT_EQ(result, 1);
  for (const char* name : {"Top", "Left", ""}) {
    ASSERT_EQ(_ProfileRegistryWrite(kHkcu, Path("L").c_str(), name, "0"), 1);
  }
  std::string expected;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (::RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != 0) break;
    expected += std::string(name, size) + "|";
  }
  ASSERT_EQ(expected.size(), 10u);
  EXPECT_EQ(List("L", 100, &result), expected);
  EXPECT_EQ(List("L", 3, &result), expected.substr(0, 3));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(List("L", -1, &result), "");
  EXPECT_EQ(result, 1);

  // A name the 256-byte area cannot hold fails the whole list, and so do
  // data of more than 32000 bytes.
  ASSERT_EQ(::RegSetValueExA(key, std::string(256, 'n').c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(""), 1),
            ERROR_SUCCESS);
  EXPECT_EQ(List("L", 100, &result), std::string(101, '\x7f')) << "the buffer is untouched";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(::RegDeleteValueA(key, std::string(256, 'n').c_str()), ERROR_SUCCESS);
  const std::string big(32001, 'd');
  ASSERT_EQ(::RegSetValueExA(key, "Big", 0, REG_BINARY, reinterpret_cast<const BYTE*>(big.data()),
                             static_cast<DWORD>(big.size())),
            ERROR_SUCCESS);
  List("L", 100, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(::RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
