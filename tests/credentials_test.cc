// The credential functions against stand-ins for the sibling library and the
// database client (tests/fakes), which the test build makes under their real
// file names. Each test runs in a child process whose library search path is
// one directory of stand-ins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "duduzuvez210.h"
#include "platform/loader.h"
#include "test_util.h"

namespace dzv {
namespace {

using Lines = std::vector<std::string>;

// Goes on in a fresh process whose library search path is the stand-ins'
// directory `variant`; false in the parent.
bool WithLibrariesFrom(const char* variant) {
  return dzv::testing::WithLibrarySearchPath(std::string(DZV_FAKES_DIR) + "/" + variant);
}

// The loader of the credential functions while it lives, checking that every
// library they load is unloaded once, through the handle its load gave. (That
// an unload undoes a load is the loader's contract, tested on its own.)
class TrackingLoader : public platform::LoaderWrapper {
 public:
  TrackingLoader() : LoaderWrapper(&platform::Loader::Default()) {}
  platform::Library* Load(const char* file_name) override {
    platform::Library* library = LoaderWrapper::Load(file_name);
    if (library != nullptr) held_.insert(library);
    return library;
  }
  void Unload(platform::Library* library) override {
    auto it = held_.find(library);
    EXPECT_NE(it, held_.end()) << "an unload without its load";
    if (it != held_.end()) held_.erase(it);
    LoaderWrapper::Unload(library);
  }
  bool HoldsNothing() const { return held_.empty(); }

 private:
  std::multiset<platform::Library*> held_;
  platform::ScopedService<platform::Loader> use_{this};
};

// The calls that the stand-ins record.
class CallLog {
 public:
  CallLog() { setenv("DZV_FAKE_LOG", dir_.File("log").c_str(), 1); }
  // The calls recorded since the last Take.
  Lines Take() {
    std::ifstream in(dir_.File("log"));
    Lines lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::remove(dir_.File("log").c_str());
    return lines;
  }

 private:
  dzv::testing::TempDir dir_;
};

TEST(Credentials, WithNeitherLibraryEveryCallFails) {
  if (!WithLibrariesFrom("none")) return;
  EXPECT_EQ(_LsaAvailable(), 0);
  EXPECT_EQ(_StorePrivateData(1, 2), 0);
  EXPECT_EQ(_RetrievePrivateData(1, 2), 0);
  EXPECT_EQ(_CanChangePassword(), 0);
  EXPECT_EQ(_ChangePassword("scott", "orcl.db", "tiger7", "lion"), -1);
}

TEST(PrivateData, LsaAvailableLooksForTheExportWithoutCallingIt) {
  // The stand-in's _LsaAvailable aborts if it runs; it has no data exports.
  if (!WithLibrariesFrom("sibling_lsa_only")) return;
  TrackingLoader loader;
  EXPECT_EQ(_LsaAvailable(), 1);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(_StorePrivateData(1, 2), 0);
  EXPECT_EQ(_RetrievePrivateData(1, 2), 0);
  EXPECT_TRUE(loader.HoldsNothing());
}

TEST(PrivateData, ValuesGoInTheCallersOrderAndTheResultComesBack) {
  if (!WithLibrariesFrom("sibling")) return;
  CallLog log;
  TrackingLoader loader;
  EXPECT_EQ(_RetrievePrivateData(11, -22), 7);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(_StorePrivateData(INT32_MIN, INT32_MAX), -5);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(_LsaAvailable(), 1);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(log.Take(),
            (Lines{"_RetrievePrivateData 11 -22", "_StorePrivateData -2147483648 2147483647"}));
}

const Lines kUpToTheChange = {
    "OCIInitialize 2 null null null null",
    "OCIEnvInit ptr 0 0 null",
    "OCIHandleAlloc env ptr 2 0 null",
    "OCIHandleAlloc env ptr 8 0 null",
    "OCIServerAttach srv err [orcl.db] 7 0",
    "OCIHandleAlloc env ptr 3 0 null",
    "OCIAttrSet svc 3 srv 0 6 err",
    "OCIHandleAlloc env ptr 9 0 null",
    "OCIAttrSet svc 3 ses 0 7 err",
    "OCIPasswordChange svc err [scott] 5 [tiger7] 6 [lion] 4 8",
};
const char kErrorGet[] = "OCIErrorGet err 1 null ptr ptr 512 2";
const Lines kEnd = {
    "OCISessionEnd svc err ses 0", "OCIServerDetach srv err 0", "OCIHandleFree srv 8",
    "OCIHandleFree svc 3",         "OCIHandleFree ses 9",       "OCIHandleFree err 2",
    "OCIHandleFree env 1",
};

Lines Sequence(bool error_get) {
  Lines all = kUpToTheChange;
  if (error_get) all.push_back(kErrorGet);
  all.insert(all.end(), kEnd.begin(), kEnd.end());
  return all;
}

int32_t Change() { return _ChangePassword("scott", "orcl.db", "tiger7", "lion"); }

TEST(PasswordChange, SuccessMakesTheWholeSequenceOnce) {
  if (!WithLibrariesFrom("oci")) return;
  CallLog log;
  TrackingLoader loader;
  EXPECT_EQ(_CanChangePassword(), 1);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(log.Take(), Lines{});
  EXPECT_EQ(Change(), 0);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(log.Take(), Sequence(false));
}

TEST(PasswordChange, ResultFollowsTheStatusOfTheChange) {
  if (!WithLibrariesFrom("oci")) return;
  CallLog log;
  TrackingLoader loader;
  struct Case {
    const char* status;
    const char* code;
    const char* error_get_status;
    int32_t result;
  } cases[] = {
      {"-1", "28003", "0", 28003},  // OCI_ERROR: the database's code
      {"1", "0", "0", 0},           // OCI_SUCCESS_WITH_INFO: changed, with a warning
      {"-2", "1017", "0", -1},      // OCI_INVALID_HANDLE
      {"99", "1017", "0", -1},      // OCI_NEED_DATA
      {"-1", "0", "0", -1},         // an error record with code 0 is no success
      {"-1", "1017", "100", -1},    // OCI_NO_DATA: no error record to read
  };
  for (const Case& c : cases) {
    setenv("DZV_OCI_CHANGE_STATUS", c.status, 1);
    setenv("DZV_OCI_ERROR_CODE", c.code, 1);
    setenv("DZV_OCI_ERRORGET_STATUS", c.error_get_status, 1);
    EXPECT_EQ(Change(), c.result) << "status " << c.status;
    EXPECT_EQ(log.Take(), Sequence(std::string(c.status) == "-1")) << "status " << c.status;
    EXPECT_TRUE(loader.HoldsNothing());
  }
}

TEST(PasswordChange, EmptyAndNullTextsGoWithLengthZero) {
  if (!WithLibrariesFrom("oci")) return;
  CallLog log;
  EXPECT_EQ(_ChangePassword("", "", "", ""), 0);
  const Lines empty = log.Take();
  ASSERT_EQ(empty.size(), Sequence(false).size());
  EXPECT_EQ(empty[4], "OCIServerAttach srv err [] 0 0");
  EXPECT_EQ(empty[9], "OCIPasswordChange svc err [] 0 [] 0 [] 0 8");
  EXPECT_EQ(_ChangePassword(nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(log.Take(), empty);
}

TEST(PasswordChange, ClientWithoutPasswordChangeIsRejectedBeforeAnyCall) {
  if (!WithLibrariesFrom("oci_no_change")) return;
  CallLog log;
  TrackingLoader loader;
  EXPECT_EQ(_CanChangePassword(), 1);
  EXPECT_EQ(Change(), -1);
  EXPECT_TRUE(loader.HoldsNothing());
  EXPECT_EQ(log.Take(), Lines{});
}

// Hides one export of every library it loads and lists the names asked for.
class HidingLoader : public TrackingLoader {
 public:
  explicit HidingLoader(std::string hidden) : hidden_(std::move(hidden)) {}
  Symbol FindSymbol(platform::Library* library, const char* name) override {
    asked.push_back(name);
    return name == hidden_ ? nullptr : TrackingLoader::FindSymbol(library, name);
  }
  Lines asked;

 private:
  std::string hidden_;
};

TEST(PasswordChange, LookupStopsAtTheFirstMissingEntryPoint) {
  if (!WithLibrariesFrom("oci")) return;
  CallLog log;
  const Lines order = {"OCIInitialize", "OCIEnvInit",        "OCIHandleAlloc", "OCIServerAttach",
                       "OCIAttrSet",    "OCIPasswordChange", "OCISessionEnd",  "OCIServerDetach",
                       "OCIHandleFree", "OCIErrorGet"};
  for (size_t missing = 0; missing <= order.size(); ++missing) {
    HidingLoader loader(missing < order.size() ? order[missing] : "");
    const bool complete = missing == order.size();
    EXPECT_EQ(Change(), complete ? 0 : -1) << missing;
    EXPECT_EQ(loader.asked,
              Lines(order.begin(), order.begin() + std::min(missing + 1, order.size())));
    EXPECT_EQ(log.Take(), complete ? Sequence(false) : Lines{}) << missing;
    EXPECT_TRUE(loader.HoldsNothing());
  }
}

TEST(PasswordChange, HandlesThatWereNotCreatedAreNeverUsed) {
  if (!WithLibrariesFrom("oci")) return;
  CallLog log;
  TrackingLoader loader;
  // The stand-in stores a poisoned handle when a creation fails.
  for (const char* type : {"1", "2", "8", "3", "9"}) {
    setenv("DZV_OCI_FAIL_ALLOC", type, 1);
    EXPECT_EQ(Change(), -1) << type;
    Lines frees;
    for (const std::string& line : log.Take()) {
      EXPECT_EQ(line.find("poison"), std::string::npos) << line;
      EXPECT_EQ(line.find("OCIPasswordChange"), std::string::npos) << line;
      if (line.starts_with("OCIHandleFree")) frees.push_back(line);
    }
    Lines created;  // every handle that was created is freed once
    for (auto it = kEnd.begin() + 2; it != kEnd.end() && std::string(type) != "1"; ++it) {
      if (!it->ends_with(std::string(" ") + type)) created.push_back(*it);
    }
    EXPECT_EQ(frees, created) << type;
    EXPECT_TRUE(loader.HoldsNothing());
  }
}

}  // namespace
}  // namespace dzv
