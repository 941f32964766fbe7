// DictionaryAttributeGet: one attribute out of a structured item value.
//
// A structured value holds attributes one after another, each written as its
// name, 0x1C, its value and 0x1D. When the dictionary holds the key, the
// attribute is the first place in the value where the name followed by 0x1C
// occurs (text::FindSubstring, anywhere in the value, not only at attribute
// boundaries); its value runs from there to the next 0x1D, or is empty when
// there is none. When the dictionary lacks the key, the attribute item
// "<key>.<name>" is read whole instead, with the names "T", "L" and "S"
// standing for "Title", "Label" and "Status Text" there (and only there).
#ifndef DZV_DICTIONARY_ATTRIBUTE_H_
#define DZV_DICTIONARY_ATTRIBUTE_H_

#include <cstdint>
#include <string_view>

#include "dictionary/dictionary_table.h"

namespace dzv::dict {

inline constexpr char kAttributeSeparator = '\x1C';
inline constexpr char kAttributeTerminator = '\x1D';

// The name an attribute item's key uses for `attribute`.
std::string_view AttributeItemName(std::string_view attribute);

// Writes the attribute's value to `output` and returns 1 when it was found
// (also when it is empty); writes the empty string and returns 0 when it was
// not, and also when memory runs out. An invalid handle, or a null pointer,
// returns 0 and writes nothing.
int32_t DictionaryAttributeGet(const DictionaryTable& table, int32_t handle, const char* key,
                               const char* attribute, char* output);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_ATTRIBUTE_H_
