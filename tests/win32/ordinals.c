/* Loads the DLL (argv[1]) as a client program does and finds every function
 * of the export list (argv[2], "Name @ordinal" lines) both by name and by
 * ordinal: both must give the same address. No other ordinal from 1 to the
 * list's highest plus one is exported. Then unloading and loading again
 * gives a fresh dictionary table: what the first load held is gone. Prints
 * what differs; exits 0 when nothing does. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "duduzuvez210.h"

typedef int32_t(DZV_CALL* NewFn)(const char*);
typedef int32_t(DZV_CALL* AddFn)(int32_t, const char*, const char*);
typedef int32_t(DZV_CALL* CountFn)(int32_t);

/* A dictionary with one item in the loaded `dll`; its handle, or 0. */
static int32_t FillOne(HMODULE dll) {
  NewFn dictionary_new = (NewFn)(void*)GetProcAddress(dll, "DictionaryNew");
  AddFn item_add = (AddFn)(void*)GetProcAddress(dll, "DictionaryItemAdd");
  if (dictionary_new == NULL || item_add == NULL) return 0;
  const int32_t handle = dictionary_new(NULL);
  return item_add(handle, "key", "value") == 1 ? handle : 0;
}

static int32_t CountOf(HMODULE dll, int32_t handle) {
  CountFn count = (CountFn)(void*)GetProcAddress(dll, "DictionaryItemCount");
  return count != NULL ? count(handle) : -1;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s DLL EXPORT_LIST\n", argv[0]);
    return 2;
  }
  HMODULE dll = LoadLibraryA(argv[1]);
  if (dll == NULL) {
    fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
    return 1;
  }
  FILE* list = fopen(argv[2], "r");
  if (list == NULL) {
    fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  int listed[65536] = {0};
  int failures = 0, count = 0, highest = 0;
  char line[256], name[200];
  unsigned ordinal = 0;
  while (fgets(line, sizeof line, list) != NULL) {
    if (sscanf(line, " %199[A-Za-z0-9_] @%u", name, &ordinal) != 2 || ordinal >= 65535) continue;
    FARPROC by_name = GetProcAddress(dll, name);
    FARPROC by_ordinal = GetProcAddress(dll, MAKEINTRESOURCEA(ordinal));
    if (by_name == NULL || by_name != by_ordinal) {
      fprintf(stderr, "%s @%u: by name %p, by ordinal %p\n", name, ordinal, (void*)by_name,
              (void*)by_ordinal);
      ++failures;
    }
    listed[ordinal] = 1;
    if ((int)ordinal > highest) highest = (int)ordinal;
    ++count;
  }
  fclose(list);
  for (int o = 1; o <= highest + 1; ++o) {
    if (!listed[o] && GetProcAddress(dll, MAKEINTRESOURCEA(o)) != NULL) {
      fprintf(stderr, "ordinal %d is exported but not listed\n", o);
      ++failures;
    }
  }
  const int32_t handle = FillOne(dll);
  if (handle == 0 || CountOf(dll, handle) != 1) {
    fprintf(stderr, "a dictionary cannot be filled\n");
    ++failures;
  }
  if (!FreeLibrary(dll) || (dll = LoadLibraryA(argv[1])) == NULL) {
    fprintf(stderr, "cannot unload and load again\n");
    return 1;
  }
  if (CountOf(dll, handle) != 0 || FillOne(dll) != handle) {
    fprintf(stderr, "the dictionary table outlived the unload\n");
    ++failures;
  }
  if (!FreeLibrary(dll)) {
    fprintf(stderr, "FreeLibrary failed\n");
    ++failures;
  }
  printf("%d exports checked, %d failures\n", count, failures);
  return count > 0 && failures == 0 ? 0 : 1;
}
