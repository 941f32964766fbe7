// DictionaryAttributeGet with arbitrary items, keys and attribute names,
// under code pages 1252 and 932.
//
// Input: a mode byte (low bit: code page 932), then fields separated by
// zero bytes: the key asked for, the attribute name, then key and value of
// each item.
// Checks: the result and the output against a lookup written here from the
// rules (the name and 0x1C searched at character starts in the item's
// value, the value up to 0x1D; else the item "key.name" with T, L and S
// spelled out). The output buffer has exactly the room the expected text
// needs.
#include "fuzz_util.h"

namespace {

std::string_view LongName(std::string_view name) {
  if (name == "T") return "Title";
  if (name == "L") return "Label";
  if (name == "S") return "Status Text";
  return name;
}

bool EndsInLoneLead(uint32_t code_page, std::string_view s) {
  return fuzz::KeyProper(code_page, s).size() != s.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint32_t code_page = (in.Byte() & 1) ? 932 : 1252;
  fuzz::UseCodePage(code_page);
  const std::string key = in.Until('\0');
  const std::string attribute = in.Until('\0');

  const int32_t h = DictionaryNew(nullptr);
  FUZZ_CHECK(h > 0);
  fuzz::RefDict items;
  // Under 932 a key that ends in a lone lead byte equals the key without
  // it; such inputs are run but not compared.
  bool compare =
      !EndsInLoneLead(code_page, key) &&
      !EndsInLoneLead(code_page, std::string(key) + "." + std::string(LongName(attribute)));
  size_t longest = 0;
  while (!in.empty()) {
    const std::string k = in.Until('\0');
    const std::string v = in.Until('\0');
    fuzz::CString ck(k), cv(v);
    FUZZ_CHECK(DictionaryItemAdd(h, ck.get(), cv.get()) == 1);
    items.Set(k, v);
    longest = std::max(longest, v.size());
    if (EndsInLoneLead(code_page, k)) compare = false;
  }

  int32_t want_result = 0;
  std::string want;
  if (const std::string* value = items.Find(key); value != nullptr) {
    const size_t at = fuzz::FindAtCharStart(code_page, *value, attribute + "\x1C");
    if (at != std::string::npos) {
      want_result = 1;
      const std::string rest = value->substr(at + attribute.size() + 1);
      const size_t end = rest.find('\x1D');
      want = end == std::string::npos ? std::string() : rest.substr(0, end);
    }
  } else {
    const std::string item_key = key + "." + std::string(LongName(attribute));
    if (const std::string* whole = items.Find(item_key); whole != nullptr) {
      want_result = 1;
      want = *whole;
    }
  }

  const size_t room = (compare ? want.size() : longest) + 1;
  std::unique_ptr<char[]> output(new char[room]);
  std::memset(output.get(), 0x5A, room);
  fuzz::CString c_key(key), c_attribute(attribute);
  const int32_t got = DictionaryAttributeGet(h, c_key.get(), c_attribute.get(), output.get());
  FUZZ_CHECK(std::memchr(output.get(), '\0', room) != nullptr);
  if (compare) {
    FUZZ_CHECK(got == want_result);
    FUZZ_CHECK(std::string_view(output.get()) == want);
  }
  FUZZ_CHECK(DictionaryFree(h) == 1);
  return 0;
}
