/* Calls the exports through the public header from a program compiled as C,
 * linked against the shared library. Exits nonzero at the first mismatch. */
#include <stdio.h>
#include <string.h>

#include "duduzuvez210.h"

static int failures = 0;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                              \
    }                                                                          \
  } while (0)

/* Archive file and text form, through files in the working directory. */
static int files_and_text_form(void) {
  int before = failures;
  char packed[64];
  char value[64];
  int32_t h = DictionaryNew("files");
  int32_t back = DictionaryNew(NULL);
  CHECK(DictionaryItemAdd(h, "b", "2") == 1);
  CHECK(DictionaryItemAdd(h, "a", "1") == 1);
  CHECK(DictionarySave(h, "abi.dict") == 1);
  CHECK(DictionaryOpen(back, "abi.dict") == 1);
  CHECK(DictionaryItemCount(back) == 2);
  CHECK(DictionaryLookup(back, "b", value) == 1 && strcmp(value, "2") == 0);
  CHECK(DictionaryPackSize(h) == (int32_t)sizeof "a=1\r\nb=2\r\n");
  CHECK(DictionaryPack(h, packed) == 1 && strcmp(packed, "a=1\r\nb=2\r\n") == 0);
  CHECK(DictionaryExport(h, "abi.txt") == 1);
  CHECK(DictionaryClear(back) == 1);
  CHECK(DictionaryImport(back, "abi.txt") == 1 && DictionaryItemCount(back) == 2);
  CHECK(DictionaryUnpack(back, "c=3\r\nno equals\r\n") == 1 && DictionaryItemCount(back) == 3);
  CHECK(DictionaryOpen(back, "abi-missing.dict") == 0 && DictionaryItemCount(back) == 0);
  CHECK(DictionaryFree(back) == 1 && DictionaryFree(h) == 1);
  return failures - before;
}

static int copy_attributes_profiles(void) {
  int before = failures;
  char out[300];
  int32_t user = 0, defaults = 0;
  int32_t a = DictionaryNew(NULL);
  int32_t b = DictionaryNew(NULL);
  int32_t merged;
  CHECK(DictionaryItemAdd(a, "Form.QueryList", "x\x1f") == 1);
  CHECK(DictionaryItemAdd(b, "Form.QueryList", "y\x1fx\x1f") == 1);
  CHECK(DictionaryItemAdd(a, "Field", "Label\x1cName\x1d") == 1);
  CHECK(DictionaryCopy(a, b, "Form.") == 1);
  CHECK(DictionaryLookup(b, "Form.QueryList", out) == 1 && strcmp(out, "x\x1fy\x1f") == 0);
  merged = DictionaryMerge(a, b, NULL);
  CHECK(merged > 0 && DictionaryItemCount(merged) == 2);
  CHECK(DictionaryAttributeGet(a, "Field", "Label", out) == 1 && strcmp(out, "Name") == 0);
  CHECK(DictionaryAttributeGet(a, "Field", "Status Text", out) == 0 && out[0] == '\0');
  CHECK(DictionaryFree(merged) == 1 && DictionaryFree(b) == 1 && DictionaryFree(a) == 1);

  CHECK(_ProfileNew(&user, &defaults) == 1 && user > 0 && defaults > 0);
  CHECK(_ProfileValueSet(defaults, "Window", "Left", "100") == 1);
  CHECK(_ProfileValueSet(user, "Window", "Top", "7") == 1);
  CHECK(_ProfileValueGet(user, defaults, "Window", "Left", out) == 1 && strcmp(out, "100") == 0);
  CHECK(_ProfileValueLookup(user, "Window", "Left", out) == 0);
  CHECK(_ProfileEntryEnumerate(user, defaults, "Window", out) == 1);
  CHECK(strstr(out, "Left,") != NULL && strstr(out, "Top,") != NULL);
  CHECK(_ProfileEntryDelete(user, "Window", "Top") == 1);
  CHECK(_ProfileSectionDelete(defaults, "Window") == 1);
  CHECK(_ProfileValueGet(user, defaults, "Window", "Left", out) == 0);
  CHECK(_ProfileFree(user, defaults) == 1);
  return failures - before;
}

static int text_utilities(void) {
  int before = failures;
  char line[16];
  char text[300];
  int32_t cursor = 0;
  CHECK(StrLength("abc") == 3);
  CHECK(StrHash("") == StrHash(""));
  CHECK(StrLineGet("one\r\ntwo", &cursor, line, (int32_t)sizeof line) == 1);
  CHECK(strcmp(line, "one") == 0);
  CHECK(_PalStrFindFirstIn("hello", 0, "l", 1) == 2);
  CHECK(_PalStrFindFirstNotIn("hello", 0, "he", 1) == 2);
  CHECK(ParseRoseLine("(object Attribute \"x\"") == 2);
  CHECK(AdjustParLevel("(object Class \"Order\"", text) == 1 && strcmp(text, "Order") == 0);
  return failures - before;
}

/* The registry and the clipboard live where XDG_CONFIG_HOME and
 * XDG_RUNTIME_DIR point: the test sets both to its build directory. */
static int registry_and_clipboard(void) {
  int before = failures;
  char buffer[64];
  uint32_t size = sizeof buffer;
  CHECK(_ProfileRegistryWrite(DZV_HKEY_CURRENT_USER, "Software\\DzvAbi", "Server", "db1") == 1);
  CHECK(_ProfileRegistryRead(DZV_HKEY_CURRENT_USER, "Software\\DzvAbi", "Server", buffer, &size) ==
        1);
  CHECK(size == 4 && memcmp(buffer, "db1", 4) == 0);
  CHECK(_ProfileRegistryEnumValues(DZV_HKEY_CURRENT_USER, "Software\\DzvAbi", buffer, 63) == 1);
  CHECK(strcmp(buffer, "Server|") == 0);
  CHECK(_ProfileRegistryDeleteValue(DZV_HKEY_CURRENT_USER, "Software\\DzvAbi", "Server") == 1);
  CHECK(_ProfileRegistryDeleteKey(DZV_HKEY_CURRENT_USER, "Software\\DzvAbi") == 1);

  CHECK(_SetClipboardData(0, "clip") == 4);
  CHECK(_GetClipboardDataLength(0) == 5);
  CHECK(_GetClipboardData(0, buffer) == 4 && strcmp(buffer, "clip") == 0);
  return failures - before;
}

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

  CHECK(files_and_text_form() == 0);
  CHECK(copy_attributes_profiles() == 0);
  CHECK(text_utilities() == 0);
  CHECK(registry_and_clipboard() == 0);

  /* Neither devidoz.dll nor Oci.dll is on the library search path here. */
  CHECK(_LsaAvailable() == 0);
  CHECK(_StorePrivateData(1, 2) == 0 && _RetrievePrivateData(1, 2) == 0);
  CHECK(_CanChangePassword() == 0);
  CHECK(_ChangePassword("scott", "orcl", "tiger", "lion") == -1);

  if (failures == 0) printf("C client: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
