/* A client that fills dictionaries and never frees them: when the library is
 * unloaded at exit it must release them all (checked under valgrind or
 * LeakSanitizer). */
#include <stdio.h>

#include "duduzuvez210.h"

int main(void) {
  char key[32];
  char value[80];
  int d;
  int i;
  for (d = 0; d < 3; ++d) {
    int32_t h = DictionaryNew(NULL);
    for (i = 0; i < 5000; ++i) {
      snprintf(key, sizeof key, "key-%d-%d", d, i);
      snprintf(value, sizeof value, "a value long enough to live on the heap %d", i);
      if (!DictionaryItemAdd(h, key, value)) return 1;
    }
  }
  return DictionaryItemCount(3) == 5000 ? 0 : 1;
}
