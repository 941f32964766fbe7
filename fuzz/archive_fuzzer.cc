// DictionaryOpen on arbitrary file bytes, under code pages 1252 and 932.
//
// Input: one byte choosing the code page (low bit set: 932), then the file.
// Checks:
//  - under 1252, for files without wide strings, a reader written here from
//    the file format gives the result and the items, in enumeration order;
//  - whatever opened, DictionarySave writes exactly the bytes that the
//    format gives for those items in that order; opening that file gives
//    the same items with each bucket's run reversed (opening inserts at the
//    head of the chain), and saving and opening once more restores the
//    first order.
#include "fuzz_util.h"

namespace {

using fuzz::Items;

// The reading rules of the archive format, without wide strings.
class ReferenceReader {
 public:
  explicit ReferenceReader(std::string_view file) : file_(file) {}

  // Reads the archive into `dict`; false when the file ends early. Sets
  // `*wide` and stops when a wide string appears.
  bool Read(fuzz::RefDict* dict, bool* wide) {
    *wide = false;
    uint32_t count;
    if (!U16(&count)) return false;
    if (count == 0xFFFF && !U32(&count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      std::string key, value;
      if (!String(&key, wide) || !String(&value, wide)) return false;
      dict->Set(CutAtZero(key), CutAtZero(value));
    }
    return true;
  }

 private:
  static std::string_view CutAtZero(std::string_view s) { return s.substr(0, s.find('\0')); }
  bool Take(size_t n, std::string_view* out) {
    if (file_.size() - pos_ < n) return false;
    *out = file_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool U8(uint32_t* v) {
    std::string_view b;
    if (!Take(1, &b)) return false;
    *v = static_cast<unsigned char>(b[0]);
    return true;
  }
  bool U16(uint32_t* v) {
    uint32_t lo, hi;
    if (!U8(&lo) || !U8(&hi)) return false;
    *v = lo | hi << 8;
    return true;
  }
  bool U32(uint32_t* v) {
    uint32_t lo, hi;
    if (!U16(&lo) || !U16(&hi)) return false;
    *v = lo | hi << 16;
    return true;
  }
  bool String(std::string* out, bool* wide) {
    uint32_t length;
    if (!U8(&length)) return false;
    if (length == 0xFF) {
      if (!U16(&length)) return false;
      if (length == 0xFFFE) {
        *wide = true;
        return false;
      }
      if (length == 0xFFFF && !U32(&length)) return false;
    }
    std::string_view bytes;
    if (!Take(length, &bytes)) return false;
    *out = bytes;
    return true;
  }

  std::string_view file_;
  size_t pos_ = 0;
};

void PutU16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>(v >> 8 & 0xFF));
}
void PutU32(std::string* out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// The archive of `items` in this order, as the format gives it.
std::string Encode(const Items& items) {
  std::string out;
  const size_t n = items.size();
  if (n < 0xFFFF) {
    PutU16(&out, static_cast<uint32_t>(n));
  } else {
    PutU16(&out, 0xFFFF);
    PutU32(&out, static_cast<uint32_t>(n));
  }
  auto put_string = [&](const std::string& s) {
    const size_t length = s.size();
    if (length < 0xFF) {
      out.push_back(static_cast<char>(length));
    } else if (length < 0xFFFE) {
      out.push_back('\xFF');
      PutU16(&out, static_cast<uint32_t>(length));
    } else {
      out.push_back('\xFF');
      PutU16(&out, 0xFFFF);
      PutU32(&out, static_cast<uint32_t>(length));
    }
    out += s;
  };
  for (const auto& [k, v] : items) {
    put_string(k);
    put_string(v);
  }
  return out;
}

// `items` with every run of one bucket reversed.
Items ReverseBuckets(const Items& items) {
  Items out;
  size_t i = 0;
  while (i < items.size()) {
    size_t j = i;
    while (j < items.size() && fuzz::Bucket(items[j].first) == fuzz::Bucket(items[i].first)) ++j;
    for (size_t k = j; k > i; --k) out.push_back(items[k - 1]);
    i = j;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint32_t code_page = (in.Byte() & 1) ? 932 : 1252;
  fuzz::UseCodePage(code_page);
  const std::string file = in.Rest();

  fuzz::ScratchDir& dir = fuzz::ScratchDir::Get();
  const std::string first = dir.Path("first.dat");
  const std::string second = dir.Path("second.dat");
  const std::string third = dir.Path("third.dat");
  fuzz::WriteFileBytes(first, file);

  const int32_t h1 = DictionaryNew(nullptr);
  FUZZ_CHECK(h1 > 0);
  FUZZ_CHECK(DictionaryItemAdd(h1, "left over", "from before") == 1);
  const int32_t opened = DictionaryOpen(h1, first.c_str());
  FUZZ_CHECK(opened == 0 || opened == 1);
  const Items e1 = fuzz::Snapshot(h1);

  if (code_page == 1252) {
    fuzz::RefDict reference;
    bool wide = false;
    const bool whole = ReferenceReader(file).Read(&reference, &wide);
    if (!wide) {
      FUZZ_CHECK(opened == (whole ? 1 : 0));
      FUZZ_CHECK(e1 == reference.Enumerated());
    }
  }

  FUZZ_CHECK(DictionarySave(h1, second.c_str()) == 1);
  FUZZ_CHECK(fuzz::ReadFileBytes(second) == Encode(e1));
  const int32_t h2 = DictionaryNew(nullptr);
  FUZZ_CHECK(h2 > 0);
  FUZZ_CHECK(DictionaryOpen(h2, second.c_str()) == 1);
  const Items e2 = fuzz::Snapshot(h2);
  FUZZ_CHECK(e2 == ReverseBuckets(e1));

  FUZZ_CHECK(DictionarySave(h2, third.c_str()) == 1);
  FUZZ_CHECK(fuzz::ReadFileBytes(third) == Encode(e2));
  FUZZ_CHECK(DictionaryOpen(h2, third.c_str()) == 1);
  FUZZ_CHECK(fuzz::Snapshot(h2) == e1);

  FUZZ_CHECK(DictionaryFree(h2) == 1);
  FUZZ_CHECK(DictionaryFree(h1) == 1);
  return 0;
}
