// DictionaryAttributeGet: attributes of structured values and the fallback
// to attribute items.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "duduzuvez210.h"
#include "test_util.h"

namespace {

const std::string US = "\x1C", GS = "\x1D";

class AttributeGet : public ::testing::Test {
 protected:
  void SetUp() override { h_ = DictionaryNew("TEST"); }
  void TearDown() override { DictionaryFree(h_); }

  void Add(const std::string& key, const std::string& value) {
    ASSERT_EQ(DictionaryItemAdd(h_, key.c_str(), value.c_str()), 1);
  }

  // The result and output of one lookup; the output starts as garbage so
  // that an unwritten buffer shows.
  std::pair<int32_t, std::string> Get(const std::string& key, const std::string& attribute) {
    std::memset(out_, '#', sizeof out_ - 1);
    out_[sizeof out_ - 1] = '\0';
    const int32_t r = DictionaryAttributeGet(h_, key.c_str(), attribute.c_str(), out_);
    return {r, out_};
  }

  using Result = std::pair<int32_t, std::string>;
  int32_t h_ = 0;
  char out_[256];
};

TEST_F(AttributeGet, ReadsTheStructuredValueOfAPresentItem) {
  Add("F", "T" + US + "Orders" + GS + "L" + US + "Order list" + GS);
  Add("F.Status Text", "never read");
  Add("F.Title", "never read");
  EXPECT_EQ(Get("F", "L"), Result(1, "Order list"));
  EXPECT_EQ(Get("F", "T"), Result(1, "Orders"));
  // The item exists, so its attribute items are not consulted.
  EXPECT_EQ(Get("F", "S"), Result(0, ""));
  // No mapping inside a structured value.
  EXPECT_EQ(Get("F", "Title"), Result(0, ""));
  EXPECT_EQ(Get("F", "t"), Result(0, ""));
}

TEST_F(AttributeGet, NameIsFoundAnywhereAndValueEndsAtTheTerminator) {
  Add("A", "T" + US + "Orders");
  Add("B", "T" + US + GS);
  Add("C", "XL" + US + "a" + GS + "L" + US + "b" + GS);
  Add("D", "N" + US + "x" + US + "y" + GS + "z" + GS);
  Add("E", "");
  EXPECT_EQ(Get("A", "T"), Result(1, ""));  // no terminator: empty, found
  EXPECT_EQ(Get("B", "T"), Result(1, ""));
  EXPECT_EQ(Get("C", "L"), Result(1, "a"));  // matched at the end of 'XL'
  EXPECT_EQ(Get("D", "N"), Result(1, "x" + US + "y"));
  EXPECT_EQ(Get("D", "x"), Result(1, "y"));  // a value's bytes can match too
  EXPECT_EQ(Get("E", "T"), Result(0, ""));
}

TEST_F(AttributeGet, AbsentItemFallsBackToTheAttributeItem) {
  Add("G.Title", "Orders");
  Add("G.Status Text", "Ready" + US + "raw" + GS);
  Add("G.t", "lower");
  EXPECT_EQ(Get("G", "T"), Result(1, "Orders"));
  EXPECT_EQ(Get("G", "Title"), Result(1, "Orders"));
  EXPECT_EQ(Get("G", "S"), Result(1, "Ready" + US + "raw" + GS));  // whole
  EXPECT_EQ(Get("G", "Status Text"), Result(1, "Ready" + US + "raw" + GS));
  EXPECT_EQ(Get("G", "t"), Result(1, "lower"));  // 't' is not mapped
  EXPECT_EQ(Get("G", "L"), Result(0, ""));       // 'G.Label' is absent
  EXPECT_EQ(Get("H", "T"), Result(0, ""));
}

TEST_F(AttributeGet, InvalidHandleLeavesTheOutputUntouched) {
  char out[8] = "keep";
  EXPECT_EQ(DictionaryAttributeGet(0, "F", "T", out), 0);
  EXPECT_EQ(DictionaryAttributeGet(h_ + 1000, "F", "T", out), 0);
  EXPECT_STREQ(out, "keep");
}

TEST_F(AttributeGet, DoubleByteNamesMatchOnlyAtCharacterStarts) {
  if (!dzv::testing::InChildProcess({"LC_ALL=ja_JP.SJIS"})) return;
  // 0x82 0x54 is one character: the 'T' there is no character of its own.
  Add("F", "\x82T" + US + "hidden" + GS + "N" + US + "n" + GS);
  Add("K", "\x82\x41T" + US + "seen" + GS);
  Add("J", "\x82\xA0" + US + "kana" + GS);
  Add("M", "N" + US + "\x82\xA0 without its terminator");
  EXPECT_EQ(Get("F", "T"), Result(0, ""));
  EXPECT_EQ(Get("F", "N"), Result(1, "n"));
  EXPECT_EQ(Get("K", "T"), Result(1, "seen"));
  EXPECT_EQ(Get("J", "\x82\xA0"), Result(1, "kana"));
  EXPECT_EQ(Get("M", "N"), Result(1, ""));
}

}  // namespace
