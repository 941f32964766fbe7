/* A client of the registry functions, used as a child process by the tests:
 * writes `count` values named <prefix>0, <prefix>1, ... under
 * HKEY_CURRENT_USER\<path>, each call on its own, and reads each back.
 * Exits 0 when every call succeeded. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "duduzuvez210.h"

int main(int argc, char** argv) {
  char name[64];
  char text[96];
  char back[96];
  int count;
  int i;
  if (argc != 4) {
    fprintf(stderr, "usage: %s PATH PREFIX COUNT\n", argv[0]);
    return 2;
  }
  count = atoi(argv[3]);
  for (i = 0; i < count; ++i) {
    uint32_t size = sizeof back;
    snprintf(name, sizeof name, "%s%d", argv[2], i);
    snprintf(text, sizeof text, "value of %s", name);
    if (_ProfileRegistryWrite(DZV_HKEY_CURRENT_USER, argv[1], name, text) != 1) {
      fprintf(stderr, "write %s failed\n", name);
      return 1;
    }
    if (_ProfileRegistryRead(DZV_HKEY_CURRENT_USER, argv[1], name, back, &size) != 1 ||
        size != strlen(text) + 1 || strcmp(back, text) != 0) {
      fprintf(stderr, "read %s failed\n", name);
      return 1;
    }
  }
  return 0;
}
