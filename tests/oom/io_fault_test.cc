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
#include "fault/alloc.h"
#include "fault/files.h"
#include "memory_dir.h"
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
      s->emplace_back("key" + std::to_string(i),
                      std::string(4000, static_cast<char>('a' + i % 26)));
    }
    return s;
  }();
  return *items;
}

class IoFault : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [k, v] : Large()) source_.Add(k, v);
    for (const Writer& w : kWriters) w.write(source_.h(), dir_.File("warm").c_str());
  }
  Dict source_;
  TempDir dir_;
};

// The n-th platform call fails, for n = 1, 2, ... until a run meets none:
// the old file stays, and nothing else is left in the directory.
TEST_F(IoFault, WritersKeepTheOldFileWhicheverCallFails) {
  const std::string path = dir_.File("target");
  for (const Writer& w : kWriters) {
    for (FileStatus status : {FileStatus::kError, FileStatus::kNoSpace}) {
      SCOPED_TRACE(w.name);
      int failures = 0;
      ForEachFault(
          [&](int64_t n, bool& met) {
            ::unlink(dir_.File("warm").c_str());
            WriteFileBytes(path, "the old content");
            FaultyFiles files;
            files.FailNth(static_cast<int>(n), status);
            const int64_t baseline = LiveAllocations();
            int32_t r;
            {
              ScopedService<platform::Files> use(&files);
              r = w.write(source_.h(), path.c_str());
            }
            EXPECT_EQ(LiveAllocations(), baseline);
            EXPECT_EQ(files.open_files(), 0);
            const FileOp failed = files.injected();
            met = failed != FileOp::kNone;
            EXPECT_EQ(Listing(dir_.path()), std::set<std::string>{"target"});
            if (!met) {
              EXPECT_EQ(r, 1);
              return;
            }
            ++failures;
            EXPECT_EQ(r, 0) << "failed call kind " << static_cast<int>(failed);
            EXPECT_EQ(ReadFileBytes(path), "the old content");
          },
          100);
      // Resolve, temporary, three writes, sync, metadata, close, commit.
      EXPECT_GE(failures, 9);
      std::printf("[ io faults ] %s: %d failing runs\n", w.name, failures);
    }
  }
}

// The n-th call fails while a file is read: 0, the file unchanged, nothing
// held; DictionaryOpen keeps the first whole pairs of the file, and
// DictionaryImport, which reads the whole file before it adds anything,
// adds nothing.
TEST_F(IoFault, ReadersFailCleanlyWhicheverCallFails) {
  MemoryDir dir;
  const std::string archive = dir.File("a.dic"), text = dir.File("a.txt");
  ASSERT_EQ(DictionarySave(source_.h(), archive.c_str()), 1);
  ASSERT_EQ(DictionaryExport(source_.h(), text.c_str()), 1);
  const std::string archive_bytes = dir.Read(archive), text_bytes = dir.Read(text);
  Stores in_file_order;
  for (const auto& item : source_.items()) in_file_order.emplace_back(item);
  const State before = {{"held", "before"}};
  const State complete = StateOf(source_.h());
  for (bool open : {true, false}) {
    SCOPED_TRACE(open ? "DictionaryOpen" : "DictionaryImport");
    int failures = 0;
    ForEachFault(
        [&](int64_t n, bool& met) {
          FaultyFiles files;
          files.FailNth(static_cast<int>(n));
          const int64_t baseline = LiveAllocations();
          const int32_t h = DictionaryNew(nullptr);
          DictionaryItemAdd(h, "held", "before");
          int32_t r;
          {
            ScopedService<platform::Files> use(&files);
            r = open ? DictionaryOpen(h, archive.c_str()) : DictionaryImport(h, text.c_str());
          }
          EXPECT_EQ(files.open_files(), 0);
          const FileOp failed = files.injected();
          met = failed != FileOp::kNone;
          // Without its size the archive is still read, by pieces to its end.
          const bool may_succeed = !met || (open && failed == FileOp::kSize);
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
        },
        100);
    EXPECT_GE(failures, 3);  // open, and more than one read
    std::printf("[ io faults ] %s: %d failing runs\n", open ? "DictionaryOpen" : "DictionaryImport",
                failures);
  }
  EXPECT_EQ(dir.Read(archive), archive_bytes);
  EXPECT_EQ(dir.Read(text), text_bytes);
}

}  // namespace
}  // namespace dzv::testing
