// A one-line progress bar on standard error, redrawn when the percentage
// changes and erased at the end.
#ifndef DZV_TOOLS_DZV_PROGRESS_H_
#define DZV_TOOLS_DZV_PROGRESS_H_

#include <cstdint>
#include <string>

namespace dzv::cli {

class Progress {
 public:
  // Shows nothing unless enabled.
  Progress(std::string label, uint64_t total, bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(uint64_t done);

 private:
  std::string label_;
  uint64_t total_;
  bool enabled_;
  int shown_ = -1;  // the percentage drawn last
};

// Whether a bar belongs on this terminal for a file of `size` bytes: only
// when standard error is a terminal and the file is large.
bool ProgressWanted(uint64_t size);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_PROGRESS_H_
