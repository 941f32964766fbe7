#include "progress.h"

#include <cstdio>

#include "escapes.h"
#include "system.h"

namespace dzv::cli {
namespace {

constexpr int kWidth = 40;
constexpr uint64_t kLargeFile = 1 << 20;

}  // namespace

Progress::Progress(std::string label, uint64_t total, bool enabled)
    // The label names a file; the bar is drawn on a terminal only.
    : label_(Visible(label)), total_(total), enabled_(enabled) {
  Update(0);
}

Progress::~Progress() {
  if (shown_ >= 0)
    std::fprintf(stderr, "\r%*s\r", kWidth + 10 + static_cast<int>(label_.size()), "");
}

void Progress::Update(uint64_t done) {
  if (!enabled_) return;
  const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
  if (percent == shown_) return;
  shown_ = percent;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
               "########################################", kWidth - filled, "", percent);
  std::fflush(stderr);
}

bool ProgressWanted(uint64_t size) { return size >= kLargeFile && IsTerminal(stderr); }

}  // namespace dzv::cli
