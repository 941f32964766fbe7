// dzv model: what the library makes of the lines of a Rose model file.
#include <algorithm>
#include <array>
#include <cstdio>

#include "cli.h"
#include "escapes.h"
#include "file_checks.h"
#include "model_lines.h"
#include "progress.h"

namespace dzv::cli {
namespace {

constexpr int32_t kKinds = 27;

bool ShowProgress(const Args& args, const std::string& path) {
  if (args.Has("--no-progress")) return false;
  if (args.Has("--progress")) return true;
  if (!IsRegularFile(path)) return false;  // opening a FIFO would wait for a writer
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fclose(file);
  return size > 0 && ProgressWanted(static_cast<uint64_t>(size));
}

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

int Stats(const Args& args) {
  const std::string& path = args[0];
  std::array<uint64_t, kKinds> counts{};
  uint64_t lines = 0;
  int64_t level = 0;
  int64_t deepest = 0;
  uint64_t first_below_zero = 0;
  ReadModelLines(path, ShowProgress(args, path), [&](const ModelLine& line) {
    ++lines;
    if (line.kind >= 0 && line.kind < kKinds) ++counts[static_cast<size_t>(line.kind)];
    level = line.level_before + line.level_change;
    deepest = std::max(deepest, level);
    if (level < 0 && first_below_zero == 0) first_below_zero = line.number;
  });

  OutLine(path + ": " + std::to_string(lines) + " lines");
  std::string report;
  report += "  " + Padded("kind", 34) + "code     lines\n";
  for (int32_t kind = 1; kind <= kKinds; ++kind) {
    const int32_t code = kind % kKinds;  // the other lines (0) come last
    const uint64_t count = counts[static_cast<size_t>(code)];
    if (count == 0) continue;
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, "%4d %9llu", code,
                  static_cast<unsigned long long>(count));
    report += "  " + Padded(KindName(code), 34) + numbers + "\n";
  }
  report += "deepest nesting: " + std::to_string(deepest) + "\n";
  report += "final level: " + std::to_string(level);
  if (level != 0) {
    report += level > 0 ? " (unbalanced: " + std::to_string(level) + " left open)"
                        : " (unbalanced: " + std::to_string(-level) + " closed too many)";
  }
  report += "\n";
  if (first_below_zero != 0) {
    report += "the level first falls below 0 at line " + std::to_string(first_below_zero) + "\n";
  }
  Out(report);
  return kExitOk;
}

int Outline(const Args& args) {
  const std::string& path = args[0];
  const bool numbers = args.Has("--line-numbers");
  // With a progress bar on the terminal the outline waits for the end, so
  // that the two do not mix.
  const bool progress = ShowProgress(args, path);
  std::string text;
  ReadModelLines(path, progress, [&](const ModelLine& line) {
    if (!line.opens_object) return;
    if (numbers) text += std::to_string(line.number) + ": ";
    text.append(static_cast<size_t>(std::max<int64_t>(line.level_before, 0)) * 2, ' ');
    text += Visible(line.object_type);
    if (!line.quoted.empty()) text += " \"" + Visible(line.quoted) + "\"";
    text += "\n";
    if (!progress && text.size() >= 1 << 16) {
      Out(text);
      text.clear();
    }
  });
  Out(text);
  return kExitOk;
}

constexpr Option kStatsOptions[] = {
    {"--progress", "", "show the progress bar on standard error, also for small files"},
    {"--no-progress", "", "never show the progress bar"},
};
constexpr Option kOutlineOptions[] = {
    {"--line-numbers", "", "begin each line with the number of the file's line"},
    {"--progress", "", "show the progress bar on standard error, also for small files"},
    {"--no-progress", "", "never show the progress bar"},
};

constexpr Command kCommands[] = {
    {"stats", "FILE", 1, 1, "Classify every line of a model file and count the kinds.",
     "Each line is classified by the library after its leading blanks and tabs; a\n"
     "line whose object opens after its property name (statemachine (object\n"
     "State_Machine ...) counts as that object. The report gives the lines of each\n"
     "kind, the deepest nesting and the level after the last line, which is 0 for a\n"
     "well-formed file. A progress bar shows on a terminal for files of 1 MiB or more.",
     kStatsOptions, &Stats},
    {"outline", "FILE", 1, 1, "Print the object tree of a model file.",
     "One line per object: its type and its quoted name, indented two blanks per\n"
     "level of nesting (a list's parentheses count as a level).",
     kOutlineOptions, &Outline},
};

}  // namespace

const Family& ModelFamily() {
  static const Family family{
      "model", "Classify the lines of Rose model files and outline their objects.",
      "Model files are in the petal text format; every line is put to ParseRoseLine\n"
      "and AdjustParLevel.",
      kCommands};
  return family;
}

}  // namespace dzv::cli
