#include "dictionary/attribute.h"

#include <new>
#include <string>

#include "dictionary/items.h"

namespace dzv::dict {

std::string_view AttributeItemName(std::string_view attribute) {
  if (attribute == "T") return "Title";
  if (attribute == "L") return "Label";
  if (attribute == "S") return "Status Text";
  return attribute;
}

namespace {

// The lookup itself, for a valid dictionary and non-null pointers.
int32_t Lookup(const text::LeadByteTable& rules, const CMapStringToString* map, const char* key,
               const char* attribute, char* output) {
  const std::string_view name(attribute);

  if (const ByteString* item = map->FindValue(key); item != nullptr) {
    std::string pattern;
    pattern.reserve(name.size() + 1);
    pattern.append(name).push_back(kAttributeSeparator);
    const std::string_view value = item->view();
    const size_t at = text::FindSubstring(rules, value, pattern);
    if (at == std::string_view::npos) {
      CopyOut({}, output);
      return 0;
    }
    std::string_view rest = value.substr(at + pattern.size());
    const size_t end = rest.find(kAttributeTerminator);
    CopyOut(end == std::string_view::npos ? std::string_view() : rest.substr(0, end), output);
    return 1;
  }

  std::string item_key(key);
  item_key.push_back('.');
  item_key.append(AttributeItemName(name));
  if (const ByteString* item = map->FindValue(item_key); item != nullptr) {
    CopyOut(item->view(), output);
    return 1;
  }
  CopyOut({}, output);
  return 0;
}

}  // namespace

int32_t DictionaryAttributeGet(const DictionaryTable& table, int32_t handle, const char* key,
                               const char* attribute, char* output) {
  const CMapStringToString* map = table.Get(handle);
  if (map == nullptr || key == nullptr || attribute == nullptr || output == nullptr) return 0;
  try {
    return Lookup(table.rules(), map, key, attribute, output);
  } catch (const std::bad_alloc&) {
    // Like any other miss: the caller finds the empty string.
    CopyOut({}, output);
    return 0;
  }
}

}  // namespace dzv::dict
