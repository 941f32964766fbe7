// DictionaryCopy and DictionaryMerge with arbitrary items, list values and
// prefixes, under code pages 1252 and 932; the list merge also through its
// indexed path.
//
// Input: a mode byte (bit 0: code page 932; bits 1-2: copy, copy onto
// itself, merge, copy with a null prefix), the prefix ended by a zero byte,
// then items: a byte choosing the dictionary (bit 0) and a list word to
// append to the key (bits 1-3), the key, a zero byte, the value, a zero
// byte.
// Checks: the destination (or the merged dictionary) holds exactly the
// items, in enumeration order, that a copy written here from the rules
// gives (prefix match; list keys by their word in the key's last bytes;
// list values merged as the source's value followed by each destination
// token not found in it, searched at character starts).
#include "dictionary/list_merge.h"
#include "fuzz_util.h"

namespace {

bool IsListKey(uint32_t code_page, std::string_view key) {
  for (std::string_view word : {"QueryList", "UserItemList", "OverrideItemList"}) {
    const size_t window = word.size() + 1;
    if (key.size() < window) continue;
    if (fuzz::FindAtCharStart(code_page, key.substr(key.size() - window), word) !=
        std::string_view::npos)
      return true;
  }
  return false;
}

std::string MergeList(uint32_t code_page, std::string_view v, std::string_view d) {
  std::string m(v);
  size_t i = 0;
  while (i < d.size()) {
    size_t end = d.find('\x1F', i);
    if (end == std::string_view::npos) end = d.size();
    const std::string_view token = d.substr(i, end - i);
    if (!token.empty() && fuzz::FindAtCharStart(code_page, v, token) == std::string_view::npos) {
      m.append(token).push_back('\x1F');
    }
    i = end + 1;
  }
  return m;
}

// Copies the prefixed items of `source` (in its enumeration order) into
// `destination`.
void Copy(uint32_t code_page, const fuzz::Items& source, fuzz::RefDict* destination,
          const char* prefix) {
  for (const auto& [k, v] : source) {
    if (prefix != nullptr && !std::string_view(k).starts_with(prefix)) continue;
    if (!IsListKey(code_page, k)) {
      destination->Set(k, v);
      continue;
    }
    const std::string* current = destination->Find(k);
    const std::string d = current != nullptr ? *current : std::string();
    const std::string merged = MergeList(code_page, v, d);
    // The library's merge, made to take its indexed path.
    FUZZ_CHECK(dzv::dict::MergeList(dzv::platform::ProcessLeadBytes(), v, d, 0) == merged);
    destination->Set(k, merged);
  }
}

const char* const kWords[8] = {"",           "QueryList",        "UserItemList", "OverrideItemList",
                               "QueryListX", "UserItemList\x1F", "List",         "QueryLis"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  const uint32_t code_page = (mode & 1) ? 932 : 1252;
  const int op = (mode >> 1) & 3;
  fuzz::UseCodePage(code_page);
  const std::string prefix_text = in.Until('\0');
  fuzz::CString c_prefix(prefix_text);
  const char* prefix = op == 3 ? nullptr : c_prefix.get();

  const int32_t handles[2] = {DictionaryNew(nullptr), DictionaryNew(nullptr)};
  FUZZ_CHECK(handles[0] > 0 && handles[1] > 0);
  fuzz::RefDict refs[2];
  bool compare = true;  // false once a key ends in a lone lead byte
  while (!in.empty()) {
    const uint8_t choice = in.Byte();
    const std::string key = in.Until('\0') + kWords[(choice >> 1) & 7];
    const std::string value = in.Until('\0');
    const int which = choice & 1;
    fuzz::CString k(key), v(value);
    const std::string stored_key = key.substr(0, key.find('\0'));
    FUZZ_CHECK(DictionaryItemAdd(handles[which], k.get(), v.get()) == 1);
    refs[which].Set(stored_key, value);
    if (fuzz::KeyProper(code_page, stored_key).size() != stored_key.size()) compare = false;
  }
  if (compare) {
    FUZZ_CHECK(fuzz::Snapshot(handles[0]) == refs[0].Enumerated());
    FUZZ_CHECK(fuzz::Snapshot(handles[1]) == refs[1].Enumerated());
  }
  const fuzz::Items source = fuzz::Snapshot(handles[0]);
  const fuzz::Items destination = fuzz::Snapshot(handles[1]);

  if (op == 2) {
    const int32_t merged = DictionaryMerge(handles[0], handles[1], prefix);
    FUZZ_CHECK(merged > 0);
    fuzz::RefDict expected;
    Copy(code_page, source, &expected, prefix);
    Copy(code_page, destination, &expected, prefix);
    const fuzz::Items got = fuzz::Snapshot(merged);
    if (compare) FUZZ_CHECK(got == expected.Enumerated());
    FUZZ_CHECK(DictionaryFree(merged) == 1);
  } else if (op == 1) {
    FUZZ_CHECK(DictionaryCopy(handles[0], handles[0], prefix) == 1);
    FUZZ_CHECK(fuzz::Snapshot(handles[0]) == source);
  } else {
    FUZZ_CHECK(DictionaryCopy(handles[0], handles[1], prefix) == 1);
    const fuzz::Items got = fuzz::Snapshot(handles[1]);
    if (compare) {
      Copy(code_page, source, &refs[1], prefix);
      FUZZ_CHECK(got == refs[1].Enumerated());
    }
    FUZZ_CHECK(fuzz::Snapshot(handles[0]) == source);
  }
  FUZZ_CHECK(DictionaryFree(handles[0]) == 1);
  FUZZ_CHECK(DictionaryFree(handles[1]) == 1);
  return 0;
}
