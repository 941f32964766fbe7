// Running out of memory in the archive and text form functions: every
// allocation of each call made to fail in turn. Each run gives the call's
// failure result or succeeds, releases everything it took, leaves a file
// that was there exactly as it was (and no temporary beside it), and leaves
// the dictionary in a state that the call's stores can leave when they stop
// at their first failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "oom/failing_allocator.h"
#include "oom/oom_state.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

void Report(const char* what, int64_t attempts) {
  ::testing::Test::RecordProperty(what, static_cast<int>(attempts));
  std::printf("[ attempts ] %s: %lld\n", what, static_cast<long long>(attempts));
}

// Items of every length class: inline (up to 23 bytes), arena-held, longer
// than the 2048-byte archive buffer, and enough of them to span batches.
Stores Sample(int items) {
  Stores out;
  for (int i = 0; i < items; ++i) {
    const std::string n = std::to_string(i);
    const size_t length = i % 7 == 0 ? 40 : i % 31 == 0 ? 3000 : 5;
    out.emplace_back((i % 5 == 0 ? "long.key.number." : "k") + n,
                     std::string(length, static_cast<char>('a' + i % 26)));
  }
  return out;
}

// The table's slot storage and the process's services are taken once;
// nothing of theirs may count as a leak of a later call.
// One run of a call that stores items one after another, into a new
// dictionary holding `prefill`: the call gives 1, or 0 with the dictionary
// as the first of `stores` left it from `expected_before`; nothing leaks.
// Returns whether the call failed.
template <class Call>
bool CheckStoringRun(const Stores& prefill, const State& expected_before, const Stores& stores,
                     Call&& call) {
  const int64_t baseline = LiveAllocations();
  const int32_t h = DictionaryNew(nullptr);
  for (const auto& [k, v] : prefill) DictionaryItemAdd(h, k.c_str(), v.c_str());
  const int32_t r = call(h);
  EXPECT_TRUE(StoppedAfterSomeStores(expected_before, stores, StateOf(h), r == 1));
  if (r != 1) {
    EXPECT_EQ(r, 0);
  }
  EXPECT_EQ(DictionaryFree(h), 1);
  EXPECT_EQ(LiveAllocations(), baseline);
  return r != 1;
}

class FilesOom : public ::testing::Test {
 protected:
  void SetUp() override {
    Dict warm(Items{{"w", "1"}});
    TempDir dir;
    DictionarySave(warm.h(), dir.File("a").c_str());
    DictionaryOpen(warm.h(), dir.File("a").c_str());
    DictionaryExport(warm.h(), dir.File("b").c_str());
    DictionaryImport(warm.h(), dir.File("b").c_str());
  }
};

// DictionarySave and DictionaryExport, over an existing file and to a new
// one: a failed run leaves the directory as it was.
TEST_F(FilesOom, WritersKeepTheOldFileAndLeaveNoTemporary) {
  Dict d;
  for (const auto& [k, v] : Sample(300)) d.Add(k, v);
  const State items = StateOf(d.h());
  struct Writer {
    const char* name;
    int32_t(DZV_CALL* write)(int32_t, const char*);
  };
  for (const Writer& w : {Writer{"DictionarySave", &DictionarySave},
                          Writer{"DictionaryExport", &DictionaryExport}}) {
    for (bool exists : {true, false}) {
      SCOPED_TRACE(std::string(w.name) + (exists ? " over a file" : " to a new file"));
      TempDir dir;
      const std::string path = dir.File("target");
      ASSERT_EQ(w.write(d.h(), path.c_str()), 1);
      const std::string expected = ReadFileBytes(path);
      int failures = 0;
      const int64_t attempts = ForEachAllocationFailure([&](int64_t n, auto&& run) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        if (exists) {
          WriteFileBytes(path, "the old content");
        } else {
          std::remove(path.c_str());
        }
        const int64_t baseline = LiveAllocations();
        const int32_t r = run([&] { return w.write(d.h(), path.c_str()); });
        EXPECT_EQ(LiveAllocations(), baseline);
        EXPECT_EQ(StateOf(d.h()), items);
        if (r == 1) {
          EXPECT_EQ(ReadFileBytes(path), expected);
          EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"target"});
          return;
        }
        ++failures;
        EXPECT_EQ(r, 0);
        if (exists) {
          EXPECT_EQ(ReadFileBytes(path), "the old content");
          EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"target"});
        } else {
          EXPECT_EQ(Listing(dir.path()), std::set<std::string>{});
        }
      });
      EXPECT_GT(failures, 2);
      if (exists) Report(w.name, attempts);
    }
  }
}

// DictionaryOpen clears the dictionary, then sets the pairs in file order:
// a failure leaves the first pairs of the file, the one it stopped at at
// most as a key with the empty value.
TEST_F(FilesOom, OpenKeepsTheWholePairsReadBeforeTheFailure) {
  Stores pairs = Sample(300);
  pairs.emplace_back("k3", "the later value");  // a key twice in the file
  pairs.emplace_back("wide", "from UTF-16");
  std::string bytes = Count(static_cast<uint32_t>(pairs.size()));
  for (const auto& [k, v] : pairs) {
    bytes += Str(k);
    bytes += k == "wide" ? Wide(u"from UTF-16") : Str(v);
  }
  TempDir dir;
  const std::string path = dir.File("a.dic");
  WriteFileBytes(path, bytes);
  const Stores prefill = {{"old", "item"}, {"k1", "old value"}};
  int failures = 0;
  const int64_t attempts = ForEachAllocationFailure([&](int64_t n, auto&& run) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    // Opening clears the dictionary first: the prefill is not kept.
    failures += CheckStoringRun(prefill, {}, pairs, [&](int32_t h) {
      return run([&] { return DictionaryOpen(h, path.c_str()); });
    });
  });
  EXPECT_GT(failures, 2);
  EXPECT_EQ(ReadFileBytes(path), bytes);
  Report("DictionaryOpen", attempts);
}

// The text the unpacking tests read, and the stores its lines make.
struct Text {
  std::string bytes;
  Stores stores;
};
Text SampleText() {
  Text t;
  for (const auto& [k, v] : Sample(300)) {
    t.bytes += k + "=" + v + "\r\n";
    t.stores.emplace_back(k, v);
    if (k == "k9") t.bytes += "a line without the separator\r\n";
  }
  t.bytes += "k2=a=b\r\n";  // a later line for a key, a value holding "="
  t.stores.emplace_back("k2", "a=b");
  t.bytes += "=empty key";  // the last line, without a line end
  t.stores.emplace_back("", "empty key");
  return t;
}

// DictionaryUnpack and DictionaryImport add to what the dictionary holds,
// line by line: a failure keeps the items of the lines before it.
TEST_F(FilesOom, UnpackAndImportKeepTheLinesAddedBeforeTheFailure) {
  const Text text = SampleText();
  TempDir dir;
  const std::string path = dir.File("a.txt");
  WriteFileBytes(path, text.bytes);
  const State before = {{"untouched", "x"}, {"k4", "replaced"}};
  for (bool from_file : {false, true}) {
    const char* name = from_file ? "DictionaryImport" : "DictionaryUnpack";
    SCOPED_TRACE(name);
    int failures = 0;
    const int64_t attempts = ForEachAllocationFailure([&](int64_t n, auto&& run) {
      SCOPED_TRACE("allocation " + std::to_string(n));
      failures += CheckStoringRun(Stores(before.begin(), before.end()), before, text.stores,
                                  [&](int32_t h) {
                                    return run([&] {
                                      return from_file ? DictionaryImport(h, path.c_str())
                                                       : DictionaryUnpack(h, text.bytes.c_str());
                                    });
                                  });
    });
    EXPECT_GT(failures, 2);
    Report(name, attempts);
  }
  EXPECT_EQ(ReadFileBytes(path), text.bytes);
}

// DictionaryPack fails before it writes a byte; DictionaryPackSize needs no
// memory at all.
TEST_F(FilesOom, PackLeavesTheBufferUntouchedAndPackSizeNeverFails) {
  Dict d;
  for (const auto& [k, v] : Sample(300)) d.Add(k, v);
  const int32_t size = DictionaryPackSize(d.h());
  std::string expected(static_cast<size_t>(size), '\0');
  ASSERT_EQ(DictionaryPack(d.h(), expected.data()), 1);
  int failures = 0;
  const int64_t attempts = ForEachAllocationFailure([&](int64_t n, auto&& run) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    std::string buffer(static_cast<size_t>(size), '#');
    const int64_t baseline = LiveAllocations();
    const int32_t r = run([&] { return DictionaryPack(d.h(), buffer.data()); });
    EXPECT_EQ(LiveAllocations(), baseline);
    if (r == 1) {
      EXPECT_EQ(buffer, expected);
    } else {
      ++failures;
      EXPECT_EQ(r, 0);
      EXPECT_EQ(buffer, std::string(static_cast<size_t>(size), '#'));
    }
  });
  EXPECT_GT(failures, 0);
  Report("DictionaryPack", attempts);

  FailNthAllocation(1);
  EXPECT_EQ(DictionaryPackSize(d.h()), size);
  EXPECT_FALSE(Disarm()) << "DictionaryPackSize allocated";
}

}  // namespace
}  // namespace dzv::testing
