/* A short tour of the dictionary functions: create a dictionary, fill it,
 * look items up, enumerate it in the library's order and free it. */
#include <stdio.h>

#include "duduzuvez210.h"

int main(void) {
  static const char* const items[][2] = {
      {"vj", "first in bucket 0"}, {"gqh", "second in bucket 0"}, {"a", "bucket 97"},
      {"abc", "bucket 966"},       {"Window.Left", "120"},        {"Window.Top", "80"},
  };
  char key[256];
  char value[256];
  int32_t more;
  size_t i;

  int32_t dict = DictionaryNew("TOUR");
  printf("DictionaryNew -> handle %d\n", (int)dict);
  for (i = 0; i < sizeof items / sizeof items[0]; ++i) {
    DictionaryItemAdd(dict, items[i][0], items[i][1]);
  }
  printf("DictionaryItemCount -> %d\n", (int)DictionaryItemCount(dict));

  if (DictionaryLookup(dict, "abc", value)) printf("DictionaryLookup(abc) -> '%s'\n", value);
  printf("DictionaryLookup(missing) -> %d\n", (int)DictionaryLookup(dict, "missing", value));

  printf("Enumeration (bucket order, newest first within a bucket):\n");
  if (DictionaryItemGetInit(dict)) {
    do {
      more = DictionaryItemGetNext(dict, key, value);
      printf("  %-12s = %s\n", key, value);
    } while (more);
  }

  DictionaryItemDelete(dict, "gqh");
  printf("After deleting gqh: %d items\n", (int)DictionaryItemCount(dict));
  printf("DictionaryFree -> %d\n", (int)DictionaryFree(dict));
  printf("DictionaryFree again -> %d\n", (int)DictionaryFree(dict));
  return 0;
}
