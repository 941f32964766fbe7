/* Stand-in for the sibling library devidoz.dll. Its _LsaAvailable aborts the
 * process, so a caller that runs it fails. The data exports append
 * "<export> <first> <second>" to the file named by DZV_FAKE_LOG;
 * _RetrievePrivateData returns 7 and _StorePrivateData -5. Built with
 * DZV_FAKE_LSA_ONLY it exports _LsaAvailable alone. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

/* The real library's functions are __stdcall on Windows, exported under
 * their plain names (the build links this one with --kill-at). */
#if defined(_WIN32)
#define FAKE_CALL __stdcall
#else
#define FAKE_CALL
#endif

int32_t FAKE_CALL _LsaAvailable(void) { abort(); }

#ifndef DZV_FAKE_LSA_ONLY
static int32_t Record(const char* name, int32_t first, int32_t second, int32_t result) {
  const char* path = getenv("DZV_FAKE_LOG");
  FILE* log = path != NULL ? fopen(path, "a") : NULL;
  if (log != NULL) {
    fprintf(log, "%s %d %d\n", name, (int)first, (int)second);
    fclose(log);
  }
  return result;
}

int32_t FAKE_CALL _StorePrivateData(int32_t first, int32_t second) {
  return Record("_StorePrivateData", first, second, -5);
}

int32_t FAKE_CALL _RetrievePrivateData(int32_t first, int32_t second) {
  return Record("_RetrievePrivateData", first, second, 7);
}
#endif
