#include "platform/linux/zenity.h"

#include <cstring>

namespace dzv::platform {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<FilterPair> FilterPairs(const char* list) {
  std::vector<FilterPair> pairs;
  if (list == nullptr) return pairs;
  while (*list != '\0') {
    const char* name = list;
    const char* patterns = name + std::strlen(name) + 1;
    if (*patterns == '\0') break;
    pairs.emplace_back(name, patterns);
    list = patterns + std::strlen(patterns) + 1;
  }
  return pairs;
}

std::string GlobOfPattern(std::string_view pattern) {
  if (pattern == "*.*") return "*";
  std::string glob;
  for (char c : pattern) {
    if (IsAsciiLetter(c)) {
      const char lower = static_cast<char>(c | 0x20);
      glob += '[';
      glob += lower;
      glob += static_cast<char>(lower & ~0x20);
      glob += ']';
    } else if (c == ' ') {
      glob += '?';
    } else if (c == '[') {
      glob += "[[]";
    } else {
      glob += c;
    }
  }
  return glob;
}

std::string ZenityFileFilter(const FilterPair& pair) {
  std::string globs;
  std::string_view rest = pair.second;
  while (!rest.empty()) {
    const size_t semicolon = rest.find(';');
    const std::string_view pattern = Trim(rest.substr(0, semicolon));
    rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    if (pattern.empty()) continue;
    if (!globs.empty()) globs += ' ';
    globs += GlobOfPattern(pattern);
  }
  std::string name(Trim(pair.first));
  if (name.empty()) name = pair.second;
  return name + " | " + globs;
}

std::vector<std::string> ZenityFileCommand(const std::string& zenity,
                                           const ZenityFileRequest& request) {
  std::vector<std::string> argv = {zenity, "--file-selection"};
  if (request.directory) argv.emplace_back("--directory");
  if (request.multiple) {
    argv.emplace_back("--multiple");
    argv.emplace_back(std::string("--separator=") + kZenitySeparator);
  }
  if (request.has_title) argv.push_back("--title=" + request.title);
  if (!request.filename.empty()) argv.push_back("--filename=" + request.filename);
  const size_t count = request.filters.size();
  const size_t first =
      request.filter_index >= 1 && request.filter_index <= count ? request.filter_index - 1 : 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t pair = i == 0 ? first : (i <= first ? i - 1 : i);
    argv.push_back("--file-filter=" + ZenityFileFilter(request.filters[pair]));
  }
  if (request.attach != 0) {
    argv.emplace_back("--modal");
    argv.push_back("--attach=" + std::to_string(request.attach));
  }
  return argv;
}

std::vector<std::string> ZenityEnvironment(const std::vector<std::string>& environment) {
  std::string all;
  for (const std::string& e : environment) {
    if (StartsWith(e, "LC_ALL=") && e.size() > 7) all = e.substr(7);
  }
  std::vector<std::string> out;
  for (const std::string& e : environment) {
    const bool locale = StartsWith(e, "LC_") || StartsWith(e, "LANG=");
    if (StartsWith(e, "LC_ALL=") || StartsWith(e, "LC_CTYPE=")) continue;
    // LC_ALL overrode every category; it now stands in for all of them.
    if (!all.empty() && locale) continue;
    out.push_back(e);
  }
  if (!all.empty()) out.push_back("LANG=" + all);
  out.emplace_back("LC_CTYPE=C.UTF-8");
  return out;
}

std::vector<std::string> SplitZenityPaths(std::string_view output) {
  if (!output.empty() && output.back() == '\n') output.remove_suffix(1);
  std::vector<std::string> paths;
  if (output.empty()) return paths;
  size_t start = 0;
  for (;;) {
    const size_t joint = output.find("//", start);
    if (joint == std::string_view::npos) {
      paths.emplace_back(output.substr(start));
      return paths;
    }
    paths.emplace_back(output.substr(start, joint - start));
    start = joint + 1;  // the second "/" begins the next path
  }
}

std::string LayOutSelection(const std::vector<std::string>& paths, bool explorer) {
  if (paths.empty()) return {};
  const char between = explorer ? '\0' : ' ';
  std::string layout;
  if (paths.size() == 1) {
    layout = paths[0];
  } else {
    // The longest directory, ending in "/", that holds every path.
    size_t common = paths[0].size();
    for (const std::string& p : paths) {
      size_t n = 0;
      while (n < common && n < p.size() && p[n] == paths[0][n]) ++n;
      common = n;
    }
    const size_t slash = common == 0 ? std::string::npos : paths[0].rfind('/', common - 1);
    const size_t dir_length = slash == std::string::npos ? 0 : slash + 1;
    layout = paths[0].substr(0, dir_length);
    for (const std::string& p : paths) {
      layout += between;
      layout.append(p, dir_length);
    }
  }
  layout += '\0';
  layout += '\0';
  return layout;
}

}  // namespace dzv::platform
