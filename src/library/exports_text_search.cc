// Exports of the character-set search.
#include "duduzuvez210.h"
#include "library/guard.h"
#include "platform/code_page.h"
#include "text/charset_search.h"

using dzv::library::Guard;

extern "C" {

int32_t DZV_CALL _PalStrFindFirstIn(const char* text, int32_t start, const char* set,
                                    int32_t step) {
  return Guard(-1, [&] {
    if (text == nullptr || set == nullptr) return -1;
    return dzv::text::FindFirstIn(dzv::platform::ProcessLeadBytes(), text, start, set, step);
  });
}

int32_t DZV_CALL _PalStrFindFirstNotIn(const char* text, int32_t start, const char* set,
                                       int32_t step) {
  return Guard(-1, [&] {
    if (text == nullptr || set == nullptr) return -1;
    return dzv::text::FindFirstNotIn(dzv::platform::ProcessLeadBytes(), text, start, set, step);
  });
}

}  // extern "C"
