// Exports of the string primitives family.
#include "duduzuvez210.h"
#include "library/guard.h"
#include "text/string_primitives.h"

using dzv::library::Guard;

extern "C" {

int32_t DZV_CALL StrLength(const char* text) {
  return Guard(0, [&] { return dzv::text::StrLength(text); });
}

int32_t DZV_CALL StrHash(const char* text) {
  return Guard(0, [&] { return dzv::text::StrHash(text); });
}

int32_t DZV_CALL StrLineGet(const char* text, int32_t* cursor, char* buffer, int32_t size) {
  return Guard(0, [&] { return dzv::text::StrLineGet(text, cursor, buffer, size); });
}

}  // extern "C"
