#include "dictionary.h"

#include <memory>

#include "cli.h"
#include "duduzuvez210.h"

namespace dzv::cli {

Dictionary::Dictionary() : handle_(DictionaryNew("DZV")) {
  if (handle_ == 0) throw Failure("the library could not create a dictionary (out of memory)");
}

Dictionary Dictionary::Adopt(int32_t handle) { return Dictionary(handle); }

Dictionary::~Dictionary() {
  if (handle_ != 0) DictionaryFree(handle_);
}

int32_t Dictionary::Count() const { return DictionaryItemCount(handle_); }

size_t Dictionary::LongestText() const {
  const int32_t size = DictionaryPackSize(handle_);
  if (size <= 0) throw Failure("the dictionary is too large: its text form passes 2 GiB");
  return static_cast<size_t>(size);
}

void Dictionary::ForEach(
    const std::function<void(std::string_view key, std::string_view value)>& visit) const {
  if (!DictionaryItemGetInit(handle_)) return;
  const size_t room = LongestText();
  const std::unique_ptr<char[]> key(new char[room]);
  const std::unique_ptr<char[]> value(new char[room]);
  int32_t more;
  do {
    key[0] = value[0] = '\0';
    more = DictionaryItemGetNext(handle_, key.get(), value.get());
    visit(key.get(), value.get());
  } while (more);
}

std::optional<std::string> Dictionary::Lookup(const std::string& key) const {
  const std::unique_ptr<char[]> value(new char[LongestText()]);
  if (!DictionaryLookup(handle_, key.c_str(), value.get())) return std::nullopt;
  return std::string(value.get());
}

void Dictionary::Set(const std::string& key, const std::string& value) {
  if (!DictionaryItemAdd(handle_, key.c_str(), value.c_str())) {
    throw Failure("the library could not store the key '" + key + "' (out of memory)");
  }
}

}  // namespace dzv::cli
