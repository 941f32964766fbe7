// Platform file calls failing one at a time under DictionarySave,
// DictionaryExport, DictionaryOpen and DictionaryImport, with a dictionary
// large enough that every file is read and written in several pieces. Each
// failed run gives 0, releases every byte of memory and every file it took,
// leaves no temporary and leaves the file that was there as it was; the
// dictionary holds what the call's contract allows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "fault_files.h"
#include "oom/failing_allocator.h"
#include "oom/oom_state.h"
#include "platform/files.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

using platform::FileStatus;
using platform::ScopedService;

// About 2.4 MB: more than two buffers' worth for every reader and writer.
const Stores& Large() {
  static const Stores* items = [] {
    auto* s = new Stores;
    for (int i = 0; i < 600; ++i) {
      s->emplace_back("key" + std::to_string(i), std::string(4000, static_cast<char>('a' + i % 26)));
    }
    return s;
  }();
  return *items;
}

using Export = int32_t(DZV_CALL*)(int32_t, const char*);
struct Named {
  const char* name;
  Export call;
};
const Named kWriters[] = {{"DictionarySave", &DictionarySave},
                          {"DictionaryExport", &DictionaryExport}};

class IoFault : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [k, v] : Large()) source_.Add(k, v);
    for (const Named& w : kWriters) w.call(source_.h(), dir_.File("warm").c_str());
  }
  Dict source_;
  TempDir dir_;
};

// The n-th platform call fails, for n = 1, 2, ... until a run meets none;
// with `removal_fails`, every removal fails as well.
TEST_F(IoFault, WritersKeepTheOldFileWhicheverCallFails) {
  const std::string path = dir_.File("target");
  for (const Named& w : kWriters) {
    for (FileStatus status : {FileStatus::kError, FileStatus::kNoSpace}) {
      for (bool removal_fails : {false, true}) {
        SCOPED_TRACE(std::string(w.name) + (removal_fails ? ", removal failing" : ""));
        int failures = 0, left = 0;
        for (int n = 1;; ++n) {
          ASSERT_LT(n, 100) << "the fault is never reached";
          ::unlink(dir_.File("warm").c_str());
          WriteFileBytes(path, "the old content");
          FaultyFiles files;
          files.FailNth(n, status);
          if (removal_fails) files.FailAlways(FileOp::kRemove);
          const int64_t baseline = LiveAllocations();
          int32_t r;
          {
            ScopedService<platform::Files> use(&files);
            r = w.call(source_.h(), path.c_str());
          }
          SCOPED_TRACE("call " + std::to_string(n));
          EXPECT_EQ(LiveAllocations(), baseline);
          EXPECT_EQ(files.open_files(), 0);
          const FileOp failed = files.injected();
          if (failed == FileOp::kNone) {
            EXPECT_EQ(r, 1);
            EXPECT_EQ(Listing(dir_.path()), std::set<std::string>{"target"});
            break;
          }
          ++failures;
          EXPECT_EQ(r, 0) << "failed call kind " << static_cast<int>(failed);
          EXPECT_EQ(ReadFileBytes(path), "the old content");
          std::set<std::string> names = Listing(dir_.path());
          names.erase("target");
          if (!removal_fails) {
            EXPECT_TRUE(names.empty()) << *names.begin();
          }
          // A temporary that could not be removed is all that may be left.
          for (const std::string& name : names) {
            EXPECT_EQ(name.rfind(".target.", 0), 0u) << name;
            ::unlink(dir_.File(name).c_str());
            ++left;
          }
        }
        // Link, stat, temporary, permissions, three writes, sync, close,
        // rename.
        EXPECT_GE(failures, 10);
        std::printf("[ io faults ] %s%s: %d failing runs, %d temporaries left\n", w.name,
                    removal_fails ? " with failing removal" : "", failures, left);
      }
    }
  }
}

// The n-th call fails while a file is read: 0, the file unchanged, nothing
// held; DictionaryOpen keeps the first whole pairs of the file, and
// DictionaryImport, which reads the whole file before it adds anything,
// adds nothing.
TEST_F(IoFault, ReadersFailCleanlyWhicheverCallFails) {
  const std::string archive = dir_.File("a.dic"), text = dir_.File("a.txt");
  ASSERT_EQ(DictionarySave(source_.h(), archive.c_str()), 1);
  ASSERT_EQ(DictionaryExport(source_.h(), text.c_str()), 1);
  const std::string archive_bytes = ReadFileBytes(archive), text_bytes = ReadFileBytes(text);
  Stores in_file_order;
  for (const auto& item : source_.items()) in_file_order.emplace_back(item);
  const State before = {{"held", "before"}};
  const State complete = StateOf(source_.h());
  for (bool open : {true, false}) {
    SCOPED_TRACE(open ? "DictionaryOpen" : "DictionaryImport");
    int failures = 0;
    for (int n = 1;; ++n) {
      ASSERT_LT(n, 100) << "the fault is never reached";
      FaultyFiles files;
      files.FailNth(n);
      const int64_t baseline = LiveAllocations();
      const int32_t h = DictionaryNew(nullptr);
      DictionaryItemAdd(h, "held", "before");
      int32_t r;
      {
        ScopedService<platform::Files> use(&files);
        r = open ? DictionaryOpen(h, archive.c_str()) : DictionaryImport(h, text.c_str());
      }
      SCOPED_TRACE("call " + std::to_string(n));
      EXPECT_EQ(files.open_files(), 0);
      const FileOp failed = files.injected();
      // Without its size the archive is still read, by pieces to its end.
      const bool may_succeed = failed == FileOp::kNone || (open && failed == FileOp::kSize);
      if (r == 1) {
        EXPECT_TRUE(may_succeed) << "failed call kind " << static_cast<int>(failed);
        State expected = complete;
        if (!open) expected.emplace("held", "before");
        EXPECT_EQ(StateOf(h), expected);
      } else {
        ++failures;
        EXPECT_EQ(r, 0);
        if (open) {
          EXPECT_TRUE(StoppedAfterSomeStores({}, in_file_order, StateOf(h), false));
        } else {
          EXPECT_EQ(StateOf(h), before);
        }
      }
      DictionaryFree(h);
      EXPECT_EQ(LiveAllocations(), baseline);
      if (failed == FileOp::kNone) break;
    }
    EXPECT_GE(failures, 3);  // open, and more than one read
    std::printf("[ io faults ] %s: %d failing runs\n", open ? "DictionaryOpen" : "DictionaryImport",
                failures);
  }
  EXPECT_EQ(ReadFileBytes(archive), archive_bytes);
  EXPECT_EQ(ReadFileBytes(text), text_bytes);
}

}  // namespace
}  // namespace dzv::testing
