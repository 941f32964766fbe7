// What every registry backend must do: names and their case, access rights,
// the codes of the calls, the orders of enumeration and the handles, run
// against each backend that this build has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "platform/in_memory/registry.h"
#include "platform/registry.h"
#include "test_util.h"
#ifdef __linux__
#include "platform/linux/registry_store.h"
#endif
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#endif

namespace dzv::platform {
namespace {

const RegKey kHkcu = DZV_HKEY_CURRENT_USER;

// A backend under test: `make` gives a registry on fresh storage (in the
// file `file` where it keeps one); `another` gives a second view of the
// storage of `registry`: another connection where the backend has them,
// else the same registry. `own_rules`: the backend decides the rights of
// handles, the order of values and keys, the syntax of paths and which
// handles are valid; the system registry leaves these to the system, and
// Windows and Wine differ in them (Wine sorts values by name, lets a handle
// create sub-keys without the right to, and takes empty and overlong path
// components).
struct Backend {
  const char* name;
  std::unique_ptr<Registry> (*make)(const std::string& file, const LeadByteTable* lead_bytes);
  std::unique_ptr<Registry> (*another)(Registry& registry);
  bool own_rules = true;
};
void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

std::unique_ptr<Registry> MakeInMemory(const std::string&, const LeadByteTable* lead_bytes) {
  return std::make_unique<InMemoryRegistry>(lead_bytes);
}
std::unique_ptr<Registry> SameRegistry(Registry& registry) {
  return std::make_unique<RegistryWrapper>(&registry);
}
#ifdef __linux__
std::unique_ptr<Registry> MakeSqlite(const std::string& file, const LeadByteTable* lead_bytes) {
  return std::make_unique<SqliteRegistry>(file, lead_bytes);
}
std::unique_ptr<Registry> AnotherSqlite(Registry& registry) {
  return std::make_unique<SqliteRegistry>(static_cast<SqliteRegistry&>(registry).path(), nullptr);
}
#endif

#ifdef _WIN32
// The system registry, with fresh storage for each test: every predefined
// root stands for a key of its own below HKEY_CURRENT_USER\Software, which
// the registry that made it removes with everything below it.
class SandboxedRegistry final : public Registry {
 public:
  SandboxedRegistry(std::string top, bool owner) : top_(std::move(top)), owner_(owner) {}
  ~SandboxedRegistry() override {
    for (HKEY root : roots_) {
      if (root != nullptr) ::RegCloseKey(root);
    }
    if (owner_) ::RegDeleteTreeA(HKEY_CURRENT_USER, top_.c_str());
  }
  const std::string& top() const { return top_; }

  int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    return Call(key, [&](RegKey k) { return system_.CreateKey(k, path, access, result); });
  }
  int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    return Call(key, [&](RegKey k) { return system_.OpenKey(k, path, access, result); });
  }
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    return Call(key, [&](RegKey k) { return system_.SetValue(k, name, type, data, size); });
  }
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    return Call(key, [&](RegKey k) { return system_.QueryValue(k, name, type, data, size); });
  }
  int32_t DeleteValue(RegKey key, const char* name) override {
    return Call(key, [&](RegKey k) { return system_.DeleteValue(k, name); });
  }
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) override {
    return Call(key, [&](RegKey k) { return system_.EnumKey(k, index, name, name_size); });
  }
  int32_t DeleteKey(RegKey key, const char* path) override {
    return Call(key, [&](RegKey k) { return system_.DeleteKey(k, path); });
  }
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) override {
    return Call(key, [&](RegKey k) {
      return system_.EnumValue(k, index, name, name_size, type, data, data_size);
    });
  }
  int32_t CloseKey(RegKey key) override { return system_.CloseKey(key); }

 private:
  template <class F>
  int32_t Call(RegKey key, F&& f) {
    if (!IsPredefinedKey(key)) return f(key);
    const size_t i = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key)) & 7;
    if (roots_[i] == nullptr) {
      const std::string path = top_ + "\\root" + std::to_string(i);
      if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &roots_[i], nullptr) != ERROR_SUCCESS) {
        roots_[i] = nullptr;
        return kErrorCantOpen;
      }
    }
    return f(reinterpret_cast<RegKey>(roots_[i]));
  }

  Registry& system_ = Registry::Default();
  const std::string top_;
  const bool owner_;
  HKEY roots_[8] = {};
};

// Lead bytes other than the system's cannot be given to it: nullptr then.
std::unique_ptr<Registry> MakeSystem(const std::string&, const LeadByteTable* lead_bytes) {
  if (lead_bytes != nullptr && ::GetACP() != 932) return nullptr;
  static std::atomic<int> made{0};
  return std::make_unique<SandboxedRegistry>("Software\\dzv-tests\\" +
                                                 std::to_string(::GetCurrentProcessId()) + "-" +
                                                 std::to_string(++made),
                                             true);
}
std::unique_ptr<Registry> AnotherSystem(Registry& registry) {
  return std::make_unique<SandboxedRegistry>(static_cast<SandboxedRegistry&>(registry).top(),
                                             false);
}
#endif

// Every backend of the build; a new backend is one line here.
const Backend kBackends[] = {
    {"InMemory", MakeInMemory, SameRegistry},
#ifdef __linux__
    {"Sqlite", MakeSqlite, AnotherSqlite},
#endif
#ifdef _WIN32
    {"System", MakeSystem, AnotherSystem, /*own_rules=*/false},
#endif
};

class RegistryContract : public ::testing::TestWithParam<Backend> {
 protected:
  std::unique_ptr<Registry> Make(const LeadByteTable* lead_bytes) {
    return GetParam().make(dir_.File("registry" + std::to_string(++made_) + ".db"), lead_bytes);
  }
  RegKey Create(const char* path, uint32_t access = kKeyAllAccess) {
    RegKey key = nullptr;
    EXPECT_EQ(reg_.CreateKey(kHkcu, path, access, &key), kErrorSuccess) << path;
    return key;
  }
  int32_t Open(const char* path, uint32_t access, RegKey* key) {
    return reg_.OpenKey(kHkcu, path, access, key);
  }
  void Set(RegKey key, const char* name, std::string_view data, uint32_t type = kRegSz) {
    EXPECT_EQ(reg_.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                            static_cast<uint32_t>(data.size())),
              kErrorSuccess);
  }
  // Names at index 0, 1, ... until the enumeration ends.
  std::vector<std::string> ValueNames(RegKey key) {
    return Names([&](uint32_t i, char* name, uint32_t* size) {
      return reg_.EnumValue(key, i, name, size, nullptr, nullptr, nullptr);
    });
  }
  std::vector<std::string> KeyNames(RegKey key) {
    return Names(
        [&](uint32_t i, char* name, uint32_t* size) { return reg_.EnumKey(key, i, name, size); });
  }
  // The names in the order `want` gives them, or in the system's order.
  void ExpectInOrder(std::vector<std::string> got, std::vector<std::string> want) {
    if (!GetParam().own_rules) {
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
    }
    EXPECT_EQ(got, want);
  }

  dzv::testing::TempDir dir_;
  int made_ = 0;
  std::unique_ptr<Registry> owned_ = Make(nullptr);
  Registry& reg_ = *owned_;

 private:
  template <class Enum>
  static std::vector<std::string> Names(Enum&& at) {
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
      uint32_t size = sizeof name;
      if (at(i, name, &size) != kErrorSuccess) return names;
      names.emplace_back(name, size);
    }
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, ::testing::ValuesIn(kBackends),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(RegistryContract, NamesKeepTheirCaseAndCompareWithoutIt) {
  RegKey app = Create("Software\\MyApp");
  Set(app, "Color", {"red", 4});
  Set(app, "COLOR", {"blue", 5});  // the same value
  EXPECT_EQ(ValueNames(app), std::vector<std::string>{"Color"});

  RegKey same = nullptr;
  ASSERT_EQ(Open("SOFTWARE\\myapp", kKeyRead, &same), kErrorSuccess);
  uint8_t data[16];
  uint32_t size = sizeof data;
  uint32_t type = 0;
  ASSERT_EQ(reg_.QueryValue(same, "color", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("blue", 5));
  EXPECT_EQ(type, kRegSz);

  RegKey software = nullptr;
  ASSERT_EQ(Open("software", kKeyRead, &software), kErrorSuccess);
  EXPECT_EQ(KeyNames(software), std::vector<std::string>{"MyApp"});
  for (RegKey k : {app, same, software}) EXPECT_EQ(reg_.CloseKey(k), kErrorSuccess);
}

TEST_P(RegistryContract, SecondBytesOfDoubleByteCharactersAreNotFolded) {
  // In code page 932, 0x83 0x41 and 0x83 0x61 are two different characters.
  const LeadByteTable sjis = testing::Cp932();
  std::unique_ptr<Registry> owned = Make(&sjis);
  if (owned == nullptr) GTEST_SKIP() << "the system's code page is not 932";
  Registry& reg = *owned;
  RegKey key = nullptr;
  ASSERT_EQ(reg.CreateKey(kHkcu, "K", kKeyAllAccess, &key), kErrorSuccess);
  const uint8_t one = 1;
  for (const char* name : {"\x83\x41", "\x83\x61", "a\x83\x41", "A\x83\x41"}) {
    ASSERT_EQ(reg.SetValue(key, name, kRegBinary, &one, 1), kErrorSuccess);
  }
  char name[16];
  uint32_t size = sizeof name;
  EXPECT_EQ(reg.EnumValue(key, 2, name, &size, nullptr, nullptr, nullptr), kErrorSuccess);
  EXPECT_EQ(reg.EnumValue(key, 3, name, &size, nullptr, nullptr, nullptr), kErrorNoMoreItems);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
}

TEST_P(RegistryContract, AccessRightsOfTheHandleAreEnforced) {
  Set(Create("Rights\\Sub"), "v", "x");
  RegKey query = nullptr, write = nullptr, list = nullptr;
  ASSERT_EQ(Open("Rights", kKeyQueryValue, &query), kErrorSuccess);
  ASSERT_EQ(Open("Rights\\Sub", kKeyWrite, &write), kErrorSuccess);
  ASSERT_EQ(Open("Rights", kKeyEnumerateSubKeys, &list), kErrorSuccess);
  const uint8_t byte = 0;
  uint32_t size = 1;
  char name[8];

  EXPECT_EQ(reg_.SetValue(query, "v", kRegSz, &byte, 1), kErrorAccessDenied);
  EXPECT_EQ(reg_.DeleteValue(query, "v"), kErrorAccessDenied);
  EXPECT_EQ(reg_.EnumKey(query, 0, name, &size), kErrorAccessDenied);
  RegKey created = nullptr;
  if (GetParam().own_rules) {
    EXPECT_EQ(reg_.CreateKey(query, "New", kKeyRead, &created), kErrorAccessDenied);
  }
  EXPECT_EQ(reg_.CreateKey(list, "Sub", kKeyRead, &created), kErrorSuccess)
      << "opening an existing key needs no right to create";
  EXPECT_EQ(reg_.QueryValue(write, "v", nullptr, nullptr, &size), kErrorAccessDenied);
  EXPECT_EQ(reg_.EnumValue(list, 0, name, &size, nullptr, nullptr, nullptr), kErrorAccessDenied);
  size = sizeof name;
  EXPECT_EQ(reg_.EnumKey(list, 0, name, &size), kErrorSuccess);
  EXPECT_EQ(reg_.DeleteValue(write, "v"), kErrorSuccess);
  for (RegKey k : {query, write, list, created}) EXPECT_EQ(reg_.CloseKey(k), kErrorSuccess);
}

TEST_P(RegistryContract, AreasTooSmallGiveMoreData) {
  RegKey key = Create("Sizes");
  Set(key, "Name5", "123456", kRegBinary);
  Create("Sizes\\Child");
  char area[16];

  uint32_t size = 5;
  std::memset(area, 'x', sizeof area);
  EXPECT_EQ(reg_.QueryValue(key, "Name5", nullptr, reinterpret_cast<uint8_t*>(area), &size),
            kErrorMoreData);
  EXPECT_EQ(size, 6u) << "the length needed";
  EXPECT_EQ(area[0], 'x') << "nothing is copied when the data do not fit";

  size = 5;  // "Child" needs 6 bytes with its zero
  EXPECT_EQ(reg_.EnumKey(key, 0, area, &size), kErrorMoreData);
  size = 6;
  EXPECT_EQ(reg_.EnumKey(key, 0, area, &size), kErrorSuccess);
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(area, "Child");

  uint32_t name_size = 5, data_size = sizeof area;
  EXPECT_EQ(reg_.EnumValue(key, 0, area, &name_size, nullptr, reinterpret_cast<uint8_t*>(area),
                           &data_size),
            kErrorMoreData);
  uint8_t data[4];
  name_size = sizeof area;
  data_size = sizeof data;
  EXPECT_EQ(reg_.EnumValue(key, 0, area, &name_size, nullptr, data, &data_size), kErrorMoreData);
  EXPECT_EQ(data_size, 6u);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

TEST_P(RegistryContract, ValuesKeepCreationOrderAndKeysSortByName) {
  RegKey key = Create("Order");
  for (const char* name : {"zeta", "Alpha", "mid", ""}) Set(key, name, "1");
  Set(key, "ALPHA", "2");  // replacing keeps the place
  ExpectInOrder(ValueNames(key), {"zeta", "Alpha", "mid", ""});
  EXPECT_EQ(reg_.DeleteValue(key, "zeta"), kErrorSuccess);
  Set(key, "Zeta", "3");  // created anew: last
  ExpectInOrder(ValueNames(key), {"Alpha", "mid", "", "Zeta"});

  for (const char* sub : {"Order\\b", "Order\\C", "Order\\a", "Order\\_"}) Create(sub);
  ExpectInOrder(KeyNames(key), {"a", "b", "C", "_"});
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

// Indexes asked for in turn may be answered from the previous one; a change
// in between, through this registry or another view of its storage, must not
// shift the answer.
TEST_P(RegistryContract, EnumerationByIndexSeesChangesBetweenCalls) {
  RegKey key = Create("Walk");
  std::unique_ptr<Registry> other = GetParam().another(reg_);
  RegKey other_key = nullptr;
  ASSERT_EQ(other->OpenKey(kHkcu, "Walk", kKeyAllAccess, &other_key), kErrorSuccess);
  char name[8];
  uint32_t size;
  auto at = [&](uint32_t index) {
    size = sizeof name;
    return reg_.EnumValue(key, index, name, &size, nullptr, nullptr, nullptr) == kErrorSuccess
               ? std::string(name)
               : std::string("<end>");
  };
  for (const char* n : {"a", "b", "c", "d", "e"}) Set(key, n, "1");
  EXPECT_EQ(at(0), "a");
  EXPECT_EQ(at(1), "b");
  EXPECT_EQ(reg_.DeleteValue(key, "a"), kErrorSuccess);
  EXPECT_EQ(at(2), "d");
  EXPECT_EQ(other->DeleteValue(other_key, "b"), kErrorSuccess);
  EXPECT_EQ(at(3), "<end>");
  EXPECT_EQ(at(2), "e");
  EXPECT_EQ(at(1), "d");
  EXPECT_EQ(at(2), "e");
  EXPECT_EQ(other->CloseKey(other_key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

TEST_P(RegistryContract, MissingThingsAndEndsOfEnumerations) {
  RegKey key = Create("A\\B\\C");  // the keys above are made too
  RegKey out = nullptr;
  EXPECT_EQ(Open("A\\B", kKeyRead, &out), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(out), kErrorSuccess);
  EXPECT_EQ(Open("A\\Missing", kKeyRead, &out), kErrorFileNotFound);
  uint32_t size = 0;
  EXPECT_EQ(reg_.QueryValue(key, "none", nullptr, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(reg_.DeleteValue(key, "none"), kErrorFileNotFound);
  char name[8];
  size = sizeof name;
  EXPECT_EQ(reg_.EnumKey(key, 0, name, &size), kErrorNoMoreItems);
  EXPECT_EQ(reg_.EnumValue(key, 0, name, &size, nullptr, nullptr, nullptr), kErrorNoMoreItems);
  EXPECT_EQ(reg_.DeleteKey(kHkcu, "A\\Missing"), kErrorFileNotFound);
  EXPECT_NE(reg_.DeleteKey(kHkcu, "A\\B"), kErrorSuccess) << "a key with sub-keys stays";
  EXPECT_EQ(Open("A\\B\\C", kKeyRead, &out), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(out), kErrorSuccess);
  EXPECT_EQ(reg_.CreateKey(kHkcu, nullptr, kKeyRead, &out), kErrorInvalidParameter);
  if (GetParam().own_rules) {
    EXPECT_EQ(reg_.CreateKey(kHkcu, "A\\\\B", kKeyRead, &out), kErrorBadPathname);
    EXPECT_EQ(reg_.CreateKey(kHkcu, std::string(256, 'k').c_str(), kKeyRead, &out),
              kErrorInvalidParameter);
  }
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

TEST_P(RegistryContract, StaleAndForeignHandlesGiveCodes) {
  RegKey key = Create("Gone\\Child");
  RegKey parent = Create("Gone");
  EXPECT_EQ(reg_.DeleteKey(parent, "child"), kErrorSuccess);
  const uint8_t byte = 0;
  uint32_t size = 1;
  EXPECT_EQ(reg_.SetValue(key, "v", kRegSz, &byte, 1), kErrorKeyDeleted);
  EXPECT_EQ(reg_.QueryValue(key, "v", nullptr, nullptr, &size), kErrorKeyDeleted);
  RegKey again = Create("Gone\\Child");  // a new key of the same name
  EXPECT_EQ(reg_.SetValue(key, "v", kRegSz, &byte, 1), kErrorKeyDeleted);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorInvalidHandle);
  EXPECT_EQ(reg_.SetValue(key, "v", kRegSz, &byte, 1), kErrorInvalidHandle);

  for (uintptr_t garbage :
       {uintptr_t{0}, uintptr_t{1}, uintptr_t{0xdeadbeef}, static_cast<uintptr_t>(0x80000004u),
        static_cast<uintptr_t>(intptr_t{-5})}) {
    // Any other value may be one of the system's handles of this process.
    if (!GetParam().own_rules && garbage > 1) continue;
    const RegKey bad = reinterpret_cast<RegKey>(garbage);
    EXPECT_EQ(reg_.SetValue(bad, "v", kRegSz, &byte, 1), kErrorInvalidHandle);
    EXPECT_EQ(reg_.CloseKey(bad), kErrorInvalidHandle);
  }
  EXPECT_EQ(reg_.CloseKey(kHkcu), kErrorSuccess) << "closing a root is allowed";
  EXPECT_EQ(reg_.CreateKey(kHkcu, "StillOpen", kKeyRead, &key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(again), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(parent), kErrorSuccess);
}

TEST_P(RegistryContract, RootsAreSeparateTrees) {
  RegKey key = nullptr;
  ASSERT_EQ(reg_.CreateKey(DZV_HKEY_LOCAL_MACHINE, "Shared", kKeyWrite, &key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(Open("Shared", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_EQ(reinterpret_cast<intptr_t>(DZV_HKEY_CLASSES_ROOT), intptr_t{INT32_MIN});
  for (RegKey root : {DZV_HKEY_CLASSES_ROOT, DZV_HKEY_USERS, DZV_HKEY_CURRENT_CONFIG}) {
    EXPECT_TRUE(IsPredefinedKey(root));
    EXPECT_EQ(reg_.OpenKey(root, "", kKeyRead, &key), kErrorSuccess);
    EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  }
}

// The stored size counts key names, value names and data; a write that would
// pass the limit fails whole, and what is freed can be used again.
TEST(InMemoryRegistry, WritesPastTheSizeLimitGiveDiskFullAndChangeNothing) {
  InMemoryRegistry reg(nullptr, 16);
  RegKey key = nullptr, sub = nullptr;
  ASSERT_EQ(reg.CreateKey(kHkcu, "Key", kKeyAllAccess, &key), kErrorSuccess);
  const uint8_t data[13] = {};
  ASSERT_EQ(reg.SetValue(key, "v", kRegBinary, data, 11), kErrorSuccess);  // 3 + 1 + 11 = 15
  EXPECT_EQ(reg.SetValue(key, "w", kRegBinary, data, 1), kErrorDiskFull);
  EXPECT_EQ(reg.SetValue(key, "v", kRegBinary, data, 13), kErrorDiskFull);
  EXPECT_EQ(reg.CreateKey(key, "A\\B", kKeyAllAccess, &sub), kErrorDiskFull);
  EXPECT_EQ(reg.SetValue(key, nullptr, kRegNone, nullptr, 0), kErrorSuccess);
  ASSERT_EQ(reg.CreateKey(kHkcu, "KEY", kKeyRead, &sub), kErrorSuccess) << "opening takes nothing";
  EXPECT_EQ(reg.CloseKey(sub), kErrorSuccess);

  uint32_t size = 0;
  EXPECT_EQ(reg.QueryValue(key, "v", nullptr, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(reg.QueryValue(key, "w", nullptr, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(reg.OpenKey(key, "A", kKeyRead, &sub), kErrorFileNotFound);

  ASSERT_EQ(reg.SetValue(key, "v", kRegBinary, data, 10), kErrorSuccess);
  ASSERT_EQ(reg.CreateKey(key, "A\\B", kKeyAllAccess, &sub), kErrorSuccess);  // 16: full
  EXPECT_EQ(reg.CloseKey(sub), kErrorSuccess);
  EXPECT_EQ(reg.SetValue(key, "w", kRegBinary, data, 0), kErrorDiskFull);
  ASSERT_EQ(reg.DeleteKey(key, "A\\B"), kErrorSuccess);
  EXPECT_EQ(reg.SetValue(key, "w", kRegBinary, data, 0), kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
}

}  // namespace
}  // namespace dzv::platform
