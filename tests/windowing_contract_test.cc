// The contract of the window service (platform/windowing.h), for every
// backend: the system's own (on Linux without a desktop, where there are no
// windows) and the windows in memory.
#include <gtest/gtest.h>

#include <memory>

#include "platform/in_memory/windowing.h"
#include "platform/windowing.h"
#include "test_util.h"

namespace dzv::platform {
namespace {

// A handle that names no window on any backend.
constexpr WindowHandle kNoWindow = 0x7FFFFFF0;

struct Backend {
  const char* name;
  std::unique_ptr<Windows> (*make)();  // null: the system's default
};

std::unique_ptr<Windows> MakeInMemory() {
  auto windows = std::make_unique<InMemoryWindows>();
  windows->windows = {{10, {0, false, true}}, {20, {10, true, true}}};
  return windows;
}

const Backend kBackends[] = {
    {"System", nullptr},
    {"InMemory", MakeInMemory},
};

class WindowingContract : public ::testing::TestWithParam<Backend> {
 protected:
#if !defined(_WIN32)
  testing::WithoutDesktop no_desktop_;
#endif
  std::unique_ptr<Windows> owned_ = GetParam().make ? GetParam().make() : nullptr;
  Windows& windows_ = owned_ ? *owned_ : Windows::Default();
};

TEST_P(WindowingContract, NoHandleAndAStaleHandleNameNoWindow) {
  for (WindowHandle none : {WindowHandle{0}, kNoWindow}) {
    EXPECT_FALSE(windows_.IsWindow(none)) << none;
    EXPECT_FALSE(windows_.IsWindowEnabled(none)) << none;
    EXPECT_EQ(windows_.GetParent(none), 0u) << none;
    EXPECT_FALSE(windows_.IsChildWindow(none)) << none;
  }
}

TEST_P(WindowingContract, ChangesToNoWindowAreIgnored) {
  const WindowHandle focus = windows_.GetFocus();
  for (WindowHandle none : {WindowHandle{0}, kNoWindow}) {
    windows_.EnableWindow(none, true);
    EXPECT_FALSE(windows_.IsWindowEnabled(none)) << none;
    windows_.SetFocus(none);
    EXPECT_EQ(windows_.GetFocus(), focus) << none;
  }
}

TEST_P(WindowingContract, AThreadWithoutWindowsHasNoFocus) { EXPECT_EQ(windows_.GetFocus(), 0u); }

INSTANTIATE_TEST_SUITE_P(Backends, WindowingContract, ::testing::ValuesIn(kBackends),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dzv::platform
