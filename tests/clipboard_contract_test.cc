// What every clipboard backend must do: one holder at a time, data kept per
// format and seen by every instance on the clipboard, blocks that pass to
// the clipboard only when it takes them; run against each backend that this
// build has.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "platform/clipboard.h"
#include "platform/in_memory/clipboard.h"
#include "test_util.h"
#ifdef __linux__
#include "platform/linux/clipboard.h"
#endif

namespace dzv::platform {
namespace {

using testing::ClipboardBytes;
using testing::PutClipboardData;

constexpr uint32_t kBitmapFormat = 2;
constexpr uint32_t kUnicodeFormat = 13;

using Instances = std::pair<std::unique_ptr<Clipboard>, std::unique_ptr<Clipboard>>;

// A backend under test: `make` gives two instances on one fresh, empty
// clipboard, as two processes of one desktop would have them (a backend
// that keeps the clipboard in files keeps it in `dir`).
struct Backend {
  const char* name;
  Instances (*make)(const std::string& dir);
};
void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

Instances MakeInMemory(const std::string&) {
  auto first = std::make_unique<InMemoryClipboard>();
  auto second = first->Another();
  return {std::move(first), std::move(second)};
}
#ifdef __linux__
// The session store, with the desktop's clipboard left out.
Instances MakeLinux(const std::string& dir) {
  return {NewLinuxClipboard(dir + "/store"), NewLinuxClipboard(dir + "/store")};
}
#endif

// Every backend of the build; a new backend is one line here.
const Backend kBackends[] = {
    {"InMemory", MakeInMemory},
#ifdef __linux__
    {"Linux", MakeLinux},
#endif
};

class ClipboardContract : public ::testing::TestWithParam<Backend> {
 protected:
  testing::TempDir dir_;
  Instances made_ = GetParam().make(dir_.path());
  Clipboard& first_ = *made_.first;
  Clipboard& second_ = *made_.second;
};

// Whether the instance that holds the clipboard open may open it again is
// left to the backend: the Linux store refuses it.
TEST_P(ClipboardContract, OneHolderAtATime) {
  ASSERT_TRUE(first_.Open(0));
  EXPECT_FALSE(second_.Open(0)) << "opened while the other instance holds it";
  first_.Close();
  ASSERT_TRUE(second_.Open(0));
  EXPECT_FALSE(first_.Open(0));
  second_.Close();
  EXPECT_TRUE(first_.Open(0));
  first_.Close();
}

TEST_P(ClipboardContract, DataIsKeptPerFormatAndSeenByTheOtherInstance) {
  ASSERT_TRUE(first_.Open(0));
  EXPECT_TRUE(PutClipboardData(first_, kUnicodeFormat, std::string("w\0\0\0", 4)));
  EXPECT_TRUE(PutClipboardData(first_, kTextFormat, std::string("one", 4)));
  first_.Close();
  EXPECT_EQ(first_.GetData(kTextFormat), nullptr) << "read while closed";

  ASSERT_TRUE(second_.Open(0));
  EXPECT_EQ(ClipboardBytes(second_, kTextFormat), std::string("one", 4));
  EXPECT_TRUE(PutClipboardData(second_, kTextFormat, std::string("two", 4)));
  EXPECT_EQ(ClipboardBytes(second_, kTextFormat), std::string("two", 4));
  EXPECT_EQ(ClipboardBytes(second_, kBitmapFormat), "<none>") << "a format not held";
  second_.Close();

  ASSERT_TRUE(first_.Open(0));
  EXPECT_EQ(ClipboardBytes(first_, kTextFormat), std::string("two", 4));
  EXPECT_EQ(ClipboardBytes(first_, kUnicodeFormat), std::string("w\0\0\0", 4));
  first_.Close();
}

// Blocks, and who owns them: one that the clipboard refused stays whole and
// the caller's to free (a backend that freed it shows as a use after free or
// a double free); one that it took is never freed by the caller (a backend
// that kept it shows as a leak under the sanitizers).
TEST_P(ClipboardContract, BlocksAreWritableAndPassOnlyWhenTaken) {
  MemoryHandle kept = first_.Alloc(kMoveableShared, 10);
  ASSERT_NE(kept, nullptr);
  EXPECT_GE(first_.Size(kept), 10u);
  char* bytes = static_cast<char*>(first_.Lock(kept));
  ASSERT_NE(bytes, nullptr);
  std::memcpy(bytes, "refused\0\0", 10);
  first_.Unlock(kept);
  EXPECT_FALSE(first_.SetData(kTextFormat, kept)) << "set while closed";
  bytes = static_cast<char*>(first_.Lock(kept));
  ASSERT_NE(bytes, nullptr);
  EXPECT_STREQ(bytes, "refused");
  first_.Unlock(kept);
  first_.Free(kept);

  ASSERT_TRUE(first_.Open(0));
  EXPECT_TRUE(PutClipboardData(first_, kTextFormat, std::string("taken\0\0\0\0\0", 10)));
  first_.Close();
  ASSERT_TRUE(second_.Open(0));
  EXPECT_EQ(ClipboardBytes(second_, kTextFormat).substr(0, 10), std::string("taken\0\0\0\0\0", 10));
  second_.Close();
}

INSTANTIATE_TEST_SUITE_P(Backends, ClipboardContract, ::testing::ValuesIn(kBackends),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dzv::platform
