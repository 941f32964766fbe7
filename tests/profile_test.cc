// Profiles: profile keys, the two layers, enumeration of a section and
// deletion of a section, through the exported functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dictionary/string_map.h"
#include "duduzuvez210.h"
#include "library/process.h"
#include "profile/profile_key.h"

namespace {

using dzv::profile::ProfileKey;

std::string KeyOf(const std::string& section, const std::string& entry) {
  ProfileKey key;
  return ProfileKey::Build(section, entry, &key) ? std::string(key.view()) : "<too long>";
}

std::vector<std::string> Keys(int32_t h) {
  std::vector<std::string> keys;
  dzv::library::Dictionaries()->Get(h)->ForEach(
      [&](std::string_view k, std::string_view) { keys.emplace_back(k); });
  std::sort(keys.begin(), keys.end());
  return keys;
}

// The handle that the next DictionaryNew will issue.
int32_t NextHandle() {
  const int32_t h = DictionaryNew(nullptr);
  DictionaryFree(h);
  return h;
}

class Profile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_ProfileNew(&user_, &def_), 1); }
  void TearDown() override { _ProfileFree(user_, def_); }

  int32_t user_ = 0, def_ = 0;
  char buf_[4096];
};

TEST(ProfileKey, SectionDotEscapedEntry) {
  EXPECT_EQ(KeyOf("Window", "Left"), "Window.Left");
  EXPECT_EQ(KeyOf("Window", "a,b.c=d"), "Window.a<comma>b<dot>c<equal>d");
  EXPECT_EQ(KeyOf("x.y", "z"), "x.y.z");  // the section is not escaped
  EXPECT_EQ(KeyOf("s", ""), "s.");
  EXPECT_EQ(KeyOf("", "e"), ".e");
  // Escaping is idempotent: an escaped name builds the same key.
  EXPECT_EQ(KeyOf("W", "a<dot>b"), KeyOf("W", "a.b"));
  EXPECT_EQ(KeyOf("W", "<comma><equal>"), KeyOf("W", ",="));
}

TEST(ProfileKey, AtMost255Bytes) {
  const std::string s250(250, 's');
  EXPECT_EQ(KeyOf(s250, "abcd").size(), 255u);
  EXPECT_EQ(KeyOf(s250, "abcde"), "<too long>");
  EXPECT_EQ(KeyOf(std::string(254, 's'), "").size(), 255u);
  EXPECT_EQ(KeyOf(std::string(255, 's'), ""), "<too long>");
  // The escaped length counts: 240 + 1 + 2 * 7 = 255, one more comma passes.
  EXPECT_EQ(KeyOf(std::string(240, 's'), ",,").size(), 255u);
  EXPECT_EQ(KeyOf(std::string(240, 's'), ",,,"), "<too long>");
  EXPECT_EQ(KeyOf("s", std::string(300, 'e')), "<too long>");
}

TEST_F(Profile, UserLayerBeforeDefaultLayer) {
  ASSERT_EQ(_ProfileValueSet(def_, "Window", "Left", "10"), 1);
  ASSERT_EQ(_ProfileValueSet(def_, "Window", "Top", "20"), 1);
  ASSERT_EQ(_ProfileValueSet(user_, "Window", "Left", "15"), 1);
  EXPECT_EQ(_ProfileValueGet(user_, def_, "Window", "Left", buf_), 1);
  EXPECT_STREQ(buf_, "15");
  EXPECT_EQ(_ProfileValueGet(user_, def_, "Window", "Top", buf_), 1);
  EXPECT_STREQ(buf_, "20");
  // An invalid user layer is a layer without the setting.
  EXPECT_EQ(_ProfileValueGet(0, def_, "Window", "Left", buf_), 1);
  EXPECT_STREQ(buf_, "10");
  std::strcpy(buf_, "untouched");
  EXPECT_EQ(_ProfileValueGet(user_, def_, "Window", "Width", buf_), 0);
  EXPECT_EQ(_ProfileValueGet(user_, 0, "Window", "Top", buf_), 0);
  EXPECT_STREQ(buf_, "untouched");
  // Lookup reads one dictionary only.
  EXPECT_EQ(_ProfileValueLookup(user_, "Window", "Top", buf_), 0);
  EXPECT_STREQ(buf_, "untouched");
  EXPECT_EQ(_ProfileValueLookup(def_, "Window", "Top", buf_), 1);
  EXPECT_STREQ(buf_, "20");
  // The settings are ordinary items under their profile keys.
  EXPECT_EQ(DictionaryLookup(user_, "Window.Left", buf_), 1);
  EXPECT_STREQ(buf_, "15");
}

TEST_F(Profile, SetEscapesAndDeleteRemoves) {
  ASSERT_EQ(_ProfileValueSet(user_, "s", "a.b", "dotted"), 1);
  ASSERT_EQ(_ProfileValueSet(user_, "s", "n", nullptr), 1);
  EXPECT_EQ(Keys(user_), (std::vector<std::string>{"s.a<dot>b", "s.n"}));
  EXPECT_EQ(_ProfileValueGet(user_, def_, "s", "a<dot>b", buf_), 1);
  EXPECT_STREQ(buf_, "dotted");
  EXPECT_EQ(_ProfileValueLookup(user_, "s", "n", buf_), 1);
  EXPECT_STREQ(buf_, "");
  EXPECT_EQ(_ProfileEntryDelete(user_, "s", "a.b"), 1);
  EXPECT_EQ(_ProfileEntryDelete(user_, "s", "never"), 1);
  EXPECT_EQ(Keys(user_), (std::vector<std::string>{"s.n"}));
  const int32_t gone = NextHandle();
  EXPECT_EQ(_ProfileValueSet(gone, "s", "x", "v"), 0);
  EXPECT_EQ(_ProfileValueLookup(gone, "s", "n", buf_), 0);
  EXPECT_EQ(_ProfileEntryDelete(gone, "s", "n"), 0);
  EXPECT_EQ(NextHandle(), gone);  // nothing was created on the way
}

TEST_F(Profile, OverLongKeysChangeNothing) {
  const std::string long_section(250, 's');
  ASSERT_EQ(_ProfileValueSet(user_, long_section.c_str(), "abcd", "fits"), 1);
  EXPECT_EQ(_ProfileValueSet(user_, long_section.c_str(), "a.b", "v"), 0);
  EXPECT_EQ(DictionaryItemCount(user_), 1);
  std::strcpy(buf_, "untouched");
  EXPECT_EQ(_ProfileValueGet(user_, def_, long_section.c_str(), "abcde", buf_), 0);
  EXPECT_EQ(_ProfileValueLookup(user_, long_section.c_str(), "abcde", buf_), 0);
  EXPECT_EQ(_ProfileEntryDelete(user_, long_section.c_str(), "abcde"), 0);
  const std::string huge_section(255, 's');
  EXPECT_EQ(_ProfileEntryEnumerate(user_, def_, huge_section.c_str(), buf_), 0);
  EXPECT_EQ(_ProfileSectionDelete(user_, huge_section.c_str()), 0);
  EXPECT_STREQ(buf_, "untouched");
  EXPECT_EQ(_ProfileValueGet(user_, def_, long_section.c_str(), "abcd", buf_), 1);
  EXPECT_STREQ(buf_, "fits");
}

TEST_F(Profile, EnumerateListsEachEntryOfTheSectionOnce) {
  ASSERT_EQ(_ProfileValueSet(def_, "a", "x", "1"), 1);
  ASSERT_EQ(_ProfileValueSet(user_, "a", "x", "2"), 1);
  ASSERT_EQ(_ProfileValueSet(user_, "a.b", "c", "3"), 1);  // a deeper section
  ASSERT_EQ(_ProfileValueSet(def_, "a", "p=q", "4"), 1);
  ASSERT_EQ(_ProfileValueSet(def_, "ab", "y", "5"), 1);  // another section
  ASSERT_EQ(_ProfileEntryEnumerate(user_, def_, "a", buf_), 1);
  std::vector<std::string> names;
  for (char* p = buf_; *p != '\0';) {
    char* comma = std::strchr(p, ',');
    ASSERT_NE(comma, nullptr) << "every name ends with a comma";
    names.emplace_back(p, comma);
    p = comma + 1;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"b.c", "p<equal>q", "x"}));

  std::strcpy(buf_, "garbage");
  EXPECT_EQ(_ProfileEntryEnumerate(user_, def_, "none", buf_), 1);
  EXPECT_STREQ(buf_, "");
}

TEST_F(Profile, EnumerateInsertsDefaultLayerFirst) {
  // Two entries whose keys share a bucket: the later insertion is listed
  // first, so the order shows which layer was copied first.
  const auto bucket = [](const std::string& e) {
    return dzv::dict::CMapStringToString::HashKey("S." + e) % 4000;
  };
  std::string e1 = "e0", e2;
  for (int i = 1; e2.empty(); ++i) {
    if (bucket("e" + std::to_string(i)) == bucket(e1)) e2 = "e" + std::to_string(i);
  }
  ASSERT_EQ(_ProfileValueSet(def_, "S", e1.c_str(), "d"), 1);
  ASSERT_EQ(_ProfileValueSet(user_, "S", e2.c_str(), "u"), 1);
  ASSERT_EQ(_ProfileEntryEnumerate(user_, def_, "S", buf_), 1);
  EXPECT_EQ(std::string(buf_), e2 + "," + e1 + ",");
  ASSERT_EQ(_ProfileEntryEnumerate(def_, user_, "S", buf_), 1);
  EXPECT_EQ(std::string(buf_), e1 + "," + e2 + ",");
}

TEST_F(Profile, EnumerateFailsWithoutLeavingADictionary) {
  const int32_t next = NextHandle();
  std::strcpy(buf_, "untouched");
  EXPECT_EQ(_ProfileEntryEnumerate(user_, 0, "a", buf_), 0);
  EXPECT_EQ(_ProfileEntryEnumerate(next, def_, "a", buf_), 0);
  EXPECT_STREQ(buf_, "untouched");
  ASSERT_EQ(_ProfileEntryEnumerate(user_, def_, "a", buf_), 1);
  EXPECT_EQ(NextHandle(), next);  // the merged dictionary was freed
}

TEST_F(Profile, SectionDeleteRemovesRebuiltKeys) {
  for (const char* key : {"a.x", "a.b.c", "a.b<dot>c", "ab.y"}) {
    ASSERT_EQ(DictionaryItemAdd(user_, key, "v"), 1);
  }
  ASSERT_EQ(DictionaryItemAdd(def_, "a.x", "v"), 1);
  EXPECT_EQ(_ProfileSectionDelete(user_, "a"), 1);
  EXPECT_EQ(Keys(user_), (std::vector<std::string>{"a.b.c", "ab.y"}));
  EXPECT_EQ(Keys(def_), (std::vector<std::string>{"a.x"}));
  EXPECT_EQ(_ProfileSectionDelete(user_, "none"), 1);
  EXPECT_EQ(_ProfileSectionDelete(NextHandle(), "a"), 0);
}

TEST_F(Profile, SectionDeleteOfManyKeysEachNamingTheNext) {
  // 'k.e<dot>N' is the rebuilt key of 'k.e.N': every visit deletes an item
  // that the walk may not have reached yet.
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_EQ(DictionaryItemAdd(user_, ("k.e." + n).c_str(), "deep"), 1);
    ASSERT_EQ(DictionaryItemAdd(user_, ("k.e<dot>" + n).c_str(), "flat"), 1);
  }
  ASSERT_EQ(DictionaryItemAdd(user_, "kept", "v"), 1);
  EXPECT_EQ(_ProfileSectionDelete(user_, "k"), 1);
  EXPECT_EQ(DictionaryItemCount(user_), 3001);
  EXPECT_EQ(DictionaryLookup(user_, "k.e<dot>7", buf_), 0);
  EXPECT_EQ(DictionaryLookup(user_, "k.e.7", buf_), 1);
}

TEST_F(Profile, SectionDeleteWithAnOverLongRebuiltKeyDeletesNothing) {
  // Stored directly: 'a.' and 60 dots rebuild to 'a.' and 60 '<dot>'s.
  const std::string dots = "a." + std::string(60, '.');
  ASSERT_EQ(DictionaryItemAdd(user_, dots.c_str(), "v"), 1);
  ASSERT_EQ(_ProfileValueSet(user_, "a", "x", "v"), 1);
  EXPECT_EQ(_ProfileSectionDelete(user_, "a"), 0);
  EXPECT_EQ(DictionaryItemCount(user_), 2);
}

TEST(ProfileLayers, NewAndFreeWithTheirPartialFailures) {
  int32_t user = 0, def = 0;
  ASSERT_EQ(_ProfileNew(&user, &def), 1);
  EXPECT_NE(user, 0);
  EXPECT_NE(def, 0);
  EXPECT_NE(user, def);
  EXPECT_EQ(_ProfileNew(nullptr, &def), 0);

  // An invalid default layer: the user layer stays alive.
  const int32_t gone = NextHandle();
  EXPECT_EQ(_ProfileFree(user, gone), 0);
  EXPECT_EQ(DictionaryItemAdd(user, "k", "v"), 1);
  // An invalid user layer: the default layer is freed all the same.
  EXPECT_EQ(_ProfileFree(gone, def), 0);
  EXPECT_EQ(DictionaryItemCount(def), 0);
  EXPECT_EQ(DictionaryItemAdd(def, "k", "v"), 0);
  EXPECT_EQ(DictionaryFree(user), 1);

  ASSERT_EQ(_ProfileNew(&user, &def), 1);
  EXPECT_EQ(_ProfileFree(user, def), 1);
  EXPECT_EQ(DictionaryFree(user), 0);
  EXPECT_EQ(DictionaryFree(def), 0);
}

}  // namespace
