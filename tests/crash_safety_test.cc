// A process killed while it saves and exports never leaves a damaged file:
// a child writes two contents in turn to the same archive and text file,
// and is killed (SIGKILL) at moments drawn from a fixed seed. After every
// kill each file opens as the one content or the other, byte for byte.
// Temporaries that a killed writer leaves behind are counted, not failed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

using State = std::map<std::string, std::string>;

// Two contents of equal item count and near-equal size, so that neither
// could pass for a piece of the other.
Items Content(char fill) {
  Items items;
  for (int i = 0; i < 200; ++i) {
    items.emplace_back("key" + std::to_string(i) + fill, std::string(150 + i % 7, fill));
  }
  return items;
}

// What a file reads back as through the library, in no particular order.
State ReadBack(int32_t (*read)(int32_t, const char*), const std::string& path, int32_t* result) {
  Dict d;
  *result = read(d.h(), path.c_str());
  const Items items = d.items();
  return State(items.begin(), items.end());
}

// A fresh directory in memory (/dev/shm) where there is one, so that the
// kills land in every stage of a write rather than mostly in the disk's
// sync; a kill loses nothing that the page cache holds either way.
class WorkDir {
 public:
  WorkDir() {
    std::string templ = "/dev/shm/dzv-crash-XXXXXX";
    if (::access("/dev/shm", W_OK) == 0 && ::mkdtemp(templ.data()) != nullptr) {
      path_ = templ;
    } else {
      fallback_ = std::make_unique<TempDir>();
      path_ = fallback_->path();
    }
  }
  ~WorkDir() {
    if (fallback_ == nullptr) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::unique_ptr<TempDir> fallback_;
  std::string path_;
};

TEST(CrashSafety, KilledWritersLeaveTheOldOrTheNewFile) {
  constexpr int kKills = 250;
  WorkDir dir;
  const std::string archive = dir.File("a.dic"), text = dir.File("a.txt");
  const Dict a(Content('a')), b(Content('b'));
  const int32_t contents[2] = {a.h(), b.h()};

  // The bytes that each content gives, and how long one round takes.
  TempDir reference;
  std::string archive_bytes[2], text_bytes[2];
  State items[2];
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(DictionarySave(contents[i], reference.File("a.dic").c_str()), 1);
    ASSERT_EQ(DictionaryExport(contents[i], reference.File("a.txt").c_str()), 1);
    archive_bytes[i] = ReadFileBytes(reference.File("a.dic"));
    text_bytes[i] = ReadFileBytes(reference.File("a.txt"));
    const Items added = i == 0 ? Content('a') : Content('b');
    items[i] = State(added.begin(), added.end());
  }
  const auto round = (std::chrono::steady_clock::now() - start) / 2;
  ASSERT_NE(archive_bytes[0], archive_bytes[1]);
  ASSERT_NE(text_bytes[0], text_bytes[1]);
  ASSERT_EQ(DictionarySave(contents[0], archive.c_str()), 1);
  ASSERT_EQ(DictionaryExport(contents[0], text.c_str()), 1);

  // Kill moments spread over a few rounds of writing, from a fixed seed.
  const auto round_us = std::chrono::duration_cast<std::chrono::microseconds>(round).count();
  std::mt19937 random(20261208);
  std::uniform_int_distribution<long> delay_us(0, std::max<long>(round_us * 3 / 2, 300));
  int seen[2][2] = {};  // [archive, text][content]
  int temporaries = 0, kills_leaving_one = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const long delay = delay_us(random);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Alternates the two contents until killed, starting with either;
      // gives up after a while should the parent be gone.
      for (int i = kill; i < kill + 100000; ++i) {
        DictionarySave(contents[i % 2], archive.c_str());
        DictionaryExport(contents[i % 2], text.c_str());
      }
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    SCOPED_TRACE("kill " + std::to_string(kill) + " after " + std::to_string(delay) + " us");
    const std::string on_disk[2] = {ReadFileBytes(archive), ReadFileBytes(text)};
    const std::string* expected[2] = {archive_bytes, text_bytes};
    for (int f = 0; f < 2; ++f) {
      const int which = on_disk[f] == expected[f][0] ? 0 : on_disk[f] == expected[f][1] ? 1 : -1;
      ASSERT_NE(which, -1) << (f == 0 ? "the archive" : "the text") << " is damaged ("
                           << on_disk[f].size() << " bytes)";
      ++seen[f][which];
      int32_t r;
      EXPECT_EQ(ReadBack(f == 0 ? &DictionaryOpen : &DictionaryImport, f == 0 ? archive : text, &r),
                items[which]);
      EXPECT_EQ(r, 1);
    }
    // Whatever else is there is a temporary of the killed writer.
    std::set<std::string> names = Listing(dir.path());
    names.erase("a.dic");
    names.erase("a.txt");
    if (!names.empty()) ++kills_leaving_one;
    for (const std::string& name : names) {
      EXPECT_TRUE(name.rfind(".a.dic.", 0) == 0 || name.rfind(".a.txt.", 0) == 0) << name;
      ::unlink(dir.File(name).c_str());
      ++temporaries;
    }
  }
  // The kills came at all stages: each file was found with each content.
  EXPECT_GT(seen[0][0], 0);
  EXPECT_GT(seen[0][1], 0);
  EXPECT_GT(seen[1][0], 0);
  EXPECT_GT(seen[1][1], 0);
  std::printf(
      "[ crash ] %d kills in %s (round %lld us): archive found as A/B %d/%d, text %d/%d; "
      "%d temporaries left by %d kills\n",
      kKills, dir.path().c_str(), static_cast<long long>(round_us), seen[0][0], seen[0][1],
      seen[1][0], seen[1][1], temporaries, kills_leaving_one);
  RecordProperty("kills", kKills);
  RecordProperty("temporaries_left", temporaries);
}

}  // namespace
}  // namespace dzv::testing
