// A dictionary of the library, owned by dzv for one scope, with the buffer
// sizes that the library's item functions need worked out in one place.
#ifndef DZV_TOOLS_DZV_DICTIONARY_H_
#define DZV_TOOLS_DZV_DICTIONARY_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dzv::cli {

class Dictionary {
 public:
  // A new empty dictionary (DictionaryNew). Throws Failure when the library
  // has none to give.
  Dictionary();
  // Takes over a handle the library issued (DictionaryMerge); 0 is allowed
  // and names no dictionary.
  static Dictionary Adopt(int32_t handle);
  ~Dictionary();
  Dictionary(Dictionary&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;

  int32_t handle() const { return handle_; }
  int32_t Count() const;

  // A buffer size that holds any key, value or attribute of this dictionary
  // with its zero byte: the size of its text form, which holds them all.
  // Throws Failure when the text form would not fit 32 bits.
  size_t LongestText() const;

  // Visits every item in the library's enumeration order.
  void ForEach(
      const std::function<void(std::string_view key, std::string_view value)>& visit) const;
  // The key's value, or nothing when the key is absent.
  std::optional<std::string> Lookup(const std::string& key) const;
  // Adds the key or replaces its value; throws Failure when the library
  // refuses.
  void Set(const std::string& key, const std::string& value);

 private:
  explicit Dictionary(int32_t handle) : handle_(handle) {}
  int32_t handle_;
};

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_DICTIONARY_H_
