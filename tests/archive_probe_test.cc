// dzv reads an archive's framing itself (tools/dzv/archive_probe.cc), to
// explain what the library refuses; it is a client of the header and must
// not share the library's reader. The two must agree: on the archives of
// the fuzz corpus, each cut at every length and with bytes flipped, a file
// that the library opens is one whose framing the probe finds whole, and a
// file whose framing the probe finds damaged is one the library refuses.
#include "archive_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv {
namespace {

std::vector<std::string> Corpus() {
  std::vector<std::string> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(DZV_SOURCE_DIR) + "/fuzz/corpus/archive")) {
    files.push_back(testing::ReadFileBytes(entry.path().string()));
  }
  return files;
}

TEST(ArchiveProbe, AgreesWithTheLibrarysReaderOnGoodAndDamagedArchives) {
  const std::vector<std::string> corpus = Corpus();
  ASSERT_GE(corpus.size(), 5u);
  std::vector<std::string> cases;
  std::mt19937 random(20);
  for (const std::string& archive : corpus) {
    for (size_t length = 0; length <= archive.size(); ++length) {
      cases.push_back(archive.substr(0, length));
    }
    for (int flip = 0; flip < 200 && !archive.empty(); ++flip) {
      std::string damaged = archive;
      damaged[random() % damaged.size()] ^= static_cast<char>(1 << (random() % 8));
      cases.push_back(damaged);
    }
    cases.push_back(archive + "trailing");
  }
  testing::TempDir dir;
  const std::string path = dir.File("a.dict");
  const int32_t dictionary = DictionaryNew("probe");
  int opened = 0, refused = 0;
  for (const std::string& bytes : cases) {
    testing::WriteFileBytes(path, bytes);
    const cli::ArchiveShape shape = cli::ProbeArchive(path);
    ASSERT_TRUE(shape.opened);
    ASSERT_EQ(shape.size, bytes.size());
    const bool library_opened = DictionaryOpen(dictionary, path.c_str()) != 0;
    const std::string shown = ::testing::PrintToString(bytes);
    if (library_opened) {
      ++opened;
      EXPECT_TRUE(shape.damage.empty()) << shape.damage << " in " << shown;
      EXPECT_LE(static_cast<uint64_t>(DictionaryItemCount(dictionary)), shape.announced) << shown;
      EXPECT_LE(shape.end, shape.size) << shown;
    } else {
      ++refused;
      // The library refuses a whole framing only for what the probe does
      // not look at: a UTF-16 text the code page cannot hold.
      if (shape.damage.empty() && bytes.size() >= 2) {
        EXPECT_NE(bytes.find("\xff\xfe\xff"), std::string::npos) << shown;
      }
    }
  }
  DictionaryFree(dictionary);
  EXPECT_GT(opened, 50);
  EXPECT_GT(refused, 50);
}

}  // namespace
}  // namespace dzv
