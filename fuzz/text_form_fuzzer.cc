// DictionaryUnpack and DictionaryImport on arbitrary bytes; DictionaryPack,
// DictionaryPackSize and DictionaryExport of what they built.
//
// Input: a mode byte (low bit: read the text through a file with
// DictionaryImport), a 16-bit length, the text, then items that are added
// directly (so that keys may hold "=" or line ends, and lines may pass the
// line limit): each a key length byte and key, then a value length byte and
// value, where the length byte 0xFF stands for a 16-bit repeat count and a
// fill byte.
// Checks:
//  - the text's items, by a line reader written here from the text form's
//    rules, are exactly the dictionary's items, in enumeration order;
//  - the packed size, the packed bytes (sorted lines) and the exported file
//    are what the items give;
//  - unpacking the packed text gives back every item that can travel in
//    it (key without "=" or line end, value without line end, line within
//    the limit), and nothing that the packed lines do not hold.
#include <algorithm>
#include <set>

#include "fuzz_util.h"

namespace {

constexpr size_t kLineLimit = 32257;

// The lines of a text as the reader takes them: up to a "\n", the byte
// before it dropped; the last line may end at the end of the text.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    std::string_view line;
    if (nl == std::string_view::npos) {
      line = text.substr(pos);
      pos = text.size();
    } else {
      const size_t k = nl - pos;
      line = text.substr(pos, k == 0 ? 0 : k - 1);
      pos = nl + 1;
    }
    lines.push_back(line.substr(0, std::min(line.size(), kLineLimit)));
  }
  return lines;
}

void ReferenceUnpack(std::string_view text, fuzz::RefDict* dict) {
  for (std::string_view line : Lines(text)) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    dict->Set(line.substr(0, eq), line.substr(eq + 1));
  }
}

bool Travels(const std::string& key, const std::string& value) {
  return key.find_first_of("=\n") == std::string::npos && value.find('\n') == std::string::npos &&
         key.size() + 1 + value.size() <= kLineLimit;
}

std::string ItemString(fuzz::Input& in) {
  const uint8_t n = in.Byte();
  if (n != 0xFF) return in.Bytes(n);
  const uint32_t repeat = in.U16();
  return std::string(repeat, static_cast<char>(in.Byte()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::UseCodePage(1252);
  fuzz::Input in(data, size);
  const bool through_file = in.Byte() & 1;
  const std::string raw = in.Bytes(in.U16());
  const std::string text = raw.substr(0, raw.find('\0'));

  // The text, read into a dictionary that holds an item already.
  const int32_t h = DictionaryNew(nullptr);
  FUZZ_CHECK(h > 0);
  fuzz::RefDict expected;
  FUZZ_CHECK(DictionaryItemAdd(h, "before", "1") == 1);
  expected.Set("before", "1");
  if (through_file) {
    const std::string path = fuzz::ScratchDir::Get().Path("import.txt");
    fuzz::WriteFileBytes(path, raw);
    FUZZ_CHECK(DictionaryImport(h, path.c_str()) == 1);
  } else {
    fuzz::CString c_text(raw);
    FUZZ_CHECK(DictionaryUnpack(h, c_text.get()) == 1);
  }
  ReferenceUnpack(text, &expected);
  FUZZ_CHECK(fuzz::Snapshot(h) == expected.Enumerated());

  // Further items, added as they are.
  while (!in.empty()) {
    const std::string key = ItemString(in);
    const std::string value = ItemString(in);
    fuzz::CString k(key), v(value);
    FUZZ_CHECK(DictionaryItemAdd(h, k.get(), v.get()) == 1);
    expected.Set(key.substr(0, key.find('\0')), value.substr(0, value.find('\0')));
  }
  const fuzz::Items items = fuzz::Snapshot(h);
  FUZZ_CHECK(items == expected.Enumerated());

  // Packing.
  std::vector<std::string> lines;
  size_t packed_size = 1;
  for (const auto& [k, v] : items) {
    lines.push_back(k + "=" + v);
    packed_size += k.size() + v.size() + 3;
  }
  std::sort(lines.begin(), lines.end());
  std::string packed;
  for (const std::string& line : lines) packed += line + "\r\n";
  FUZZ_CHECK(static_cast<size_t>(DictionaryPackSize(h)) == packed_size);
  std::unique_ptr<char[]> buffer(new char[packed_size]);
  FUZZ_CHECK(DictionaryPack(h, buffer.get()) == 1);
  FUZZ_CHECK(std::string_view(buffer.get(), packed_size) ==
             std::string_view(packed.c_str(), packed_size));

  const std::string exported = fuzz::ScratchDir::Get().Path("export.txt");
  FUZZ_CHECK(DictionaryExport(h, exported.c_str()) == 1);
  FUZZ_CHECK(fuzz::ReadFileBytes(exported) == packed);

  // Unpacking what was packed.
  const int32_t back = DictionaryNew(nullptr);
  FUZZ_CHECK(back > 0);
  FUZZ_CHECK(DictionaryUnpack(back, buffer.get()) == 1);
  fuzz::RefDict unpacked;
  for (const auto& kv : fuzz::Snapshot(back)) unpacked.Set(kv.first, kv.second);
  // Keys that the lines of items which cannot travel give when read back.
  std::set<std::string> stray_keys;
  for (const auto& [k, v] : items) {
    if (Travels(k, v)) continue;
    fuzz::RefDict stray;
    ReferenceUnpack(k + "=" + v + "\r\n", &stray);
    for (const auto& kv : stray.items()) stray_keys.insert(kv.first);
  }
  for (const auto& [k, v] : items) {
    if (!Travels(k, v) || stray_keys.count(k) != 0) continue;
    const std::string* got = unpacked.Find(k);
    FUZZ_CHECK(got != nullptr && *got == v);
  }
  for (const auto& kv : unpacked.items()) {
    FUZZ_CHECK(expected.Find(kv.first) != nullptr || stray_keys.count(kv.first) != 0);
  }
  if (std::all_of(items.begin(), items.end(),
                  [](const auto& kv) { return Travels(kv.first, kv.second); })) {
    FUZZ_CHECK(unpacked.size() == items.size());
  }

  FUZZ_CHECK(DictionaryFree(back) == 1);
  FUZZ_CHECK(DictionaryFree(h) == 1);
  return 0;
}
