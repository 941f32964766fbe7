// Profile keys: the dictionary key under which one setting of a profile is
// kept. The key of section S and entry E is S, ".", and E with every ","
// "." and "=" written as "<comma>", "<dot>" and "<equal>"; the section is
// used unchanged. So section 'Window' and entry 'Left' give 'Window.Left',
// section 'x.y' and entry 'a.b' give 'x.y.a<dot>b'.
//
// The escape has no inverse. An entry that is already escaped escapes to
// itself, so the remainder of a key that a profile function wrote builds the
// same key again.
//
// A profile key holds at most kMaxProfileKey bytes; a section prefix (the
// key of the empty entry, "S.") obeys the same limit.
#ifndef DZV_PROFILE_PROFILE_KEY_H_
#define DZV_PROFILE_PROFILE_KEY_H_

#include <cstddef>
#include <string_view>

namespace dzv::profile {

inline constexpr size_t kMaxProfileKey = 255;

// A built profile key, held without allocation.
class ProfileKey {
 public:
  // Builds the key of `section` and `entry`. Returns false when it would
  // pass kMaxProfileKey bytes; `*key` then holds a cut key, for no use.
  static bool Build(std::string_view section, std::string_view entry, ProfileKey* key);
  // The section prefix "section.": the key of the empty entry.
  static bool BuildPrefix(std::string_view section, ProfileKey* key) {
    return Build(section, {}, key);
  }

  const char* c_str() const { return bytes_; }
  std::string_view view() const { return {bytes_, size_}; }
  size_t size() const { return size_; }

 private:
  bool Append(std::string_view s);

  char bytes_[kMaxProfileKey + 1] = {};
  size_t size_ = 0;
};

}  // namespace dzv::profile

#endif  // DZV_PROFILE_PROFILE_KEY_H_
