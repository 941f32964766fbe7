/* Calls the exports through the public header from a program compiled as C,
 * linked against the shared library. Exits nonzero at the first mismatch. */
#include <stdio.h>
#include <string.h>

#include "duduzuvez210.h"

static int failures = 0;

#define CHECK(cond)                                                  \
  do {                                                               \
    if (!(cond)) {                                                   \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                    \
    }                                                                \
  } while (0)

int main(void) {
  char key[64];
  char value[64];
  int32_t h = DictionaryNew(NULL);
  int32_t h2 = DictionaryNew("second");

  CHECK(h == 1);
  CHECK(h2 == 2);
  CHECK(DictionaryItemAdd(h, "vj", "1") == 1);
  CHECK(DictionaryItemAdd(h, "gqh", "2") == 1);
  CHECK(DictionaryItemAdd(h, "a", NULL) == 1);
  CHECK(DictionaryItemCount(h) == 3);

  strcpy(value, "untouched");
  CHECK(DictionaryLookup(h, "absent", value) == 0);
  CHECK(strcmp(value, "untouched") == 0);
  CHECK(DictionaryItemFind(h, "absent", value) == 1);
  CHECK(value[0] == '\0');
  CHECK(DictionaryLookup(h, "a", value) == 1 && value[0] == '\0');

  CHECK(DictionaryItemGetInit(h) == 1);
  CHECK(DictionaryItemGetNext(h, key, value) == 1 && strcmp(key, "gqh") == 0);
  CHECK(DictionaryItemGetNext(h, key, value) == 1 && strcmp(key, "vj") == 0);
  CHECK(DictionaryItemGetNext(h, key, value) == 0 && strcmp(key, "a") == 0);

  CHECK(DictionaryItemDelete(h, "vj") == 1);
  CHECK(DictionaryClear(h) == 1);
  CHECK(DictionaryItemCount(h) == 0);
  CHECK(DictionaryFree(h) == 1);
  CHECK(DictionaryFree(h) == 0);
  CHECK(DictionaryNew(NULL) == 1);
  CHECK(DictionaryItemCount(0) == 0);
  CHECK(DictionaryItemAdd(-5, "k", "v") == 0);

  /* Neither devidoz.dll nor Oci.dll is on the library search path here. */
  CHECK(_LsaAvailable() == 0);
  CHECK(_StorePrivateData(1, 2) == 0 && _RetrievePrivateData(1, 2) == 0);
  CHECK(_CanChangePassword() == 0);
  CHECK(_ChangePassword("scott", "orcl", "tiger", "lion") == -1);

  if (failures == 0) printf("C client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
