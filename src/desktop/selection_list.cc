#include "desktop/selection_list.h"

namespace dzv::desktop {
namespace {

char ByteAt(std::string_view buffer, size_t pos) {
  return pos < buffer.size() ? buffer[pos] : '\0';
}

// The zero-terminated text at `pos`.
std::string_view TextAt(std::string_view buffer, size_t pos) {
  if (pos >= buffer.size()) return {};
  const std::string_view rest = buffer.substr(pos);
  return rest.substr(0, rest.find('\0'));
}

// The end of the item at `pos`: its first delimiter or zero byte.
size_t ItemEnd(const text::LeadByteTable& t, std::string_view buffer, size_t pos, char delimiter) {
  const std::string_view text = TextAt(buffer, pos);
  const size_t found =
      delimiter == '\0' ? std::string_view::npos : text::FindChar(t, text, delimiter);
  return pos + (found == std::string_view::npos ? text.size() : found);
}

}  // namespace

std::string JoinPath(const text::LeadByteTable& t, std::string_view directory,
                     std::string_view name) {
  size_t last = text::FindLastChar(t, directory, '\\');
  if (last == std::string_view::npos) last = text::FindLastChar(t, directory, '/');
  const bool ends_in_separator = !directory.empty() && last == directory.size() - 1;
  std::string path(directory);
  if (!ends_in_separator) path += '\\';
  path += name;
  return path;
}

std::string BuildSelectionList(const text::LeadByteTable& t, std::string_view buffer,
                               char delimiter) {
  const size_t first_end = ItemEnd(t, buffer, 0, delimiter);
  size_t pos = first_end + 1;
  if (ByteAt(buffer, pos) == '\0') {
    std::string list(TextAt(buffer, 0));
    list += '|';
    return list;
  }
  const std::string_view directory = buffer.substr(0, first_end);
  std::string list;
  for (;;) {
    const size_t end = ItemEnd(t, buffer, pos, delimiter);
    list += JoinPath(t, directory, buffer.substr(pos, end - pos));
    list += '|';
    const bool ended_at_zero = ByteAt(buffer, end) == '\0';
    pos = end + 1;
    if (ByteAt(buffer, pos) == '\0' || (delimiter != '\0' && ended_at_zero)) break;
  }
  return list;
}

}  // namespace dzv::desktop
