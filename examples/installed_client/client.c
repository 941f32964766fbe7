/* A client of the installed library: fills a dictionary, packs it into the
 * sorted text form and reads one attribute. Prints the text form and exits 0
 * when every call gave what the header promises, 1 otherwise. */
#include <duduzuvez210.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void) {
  char value[64];
  char* text;
  int32_t size;
  int ok = 1;
  int32_t dict = DictionaryNew("CLIENT");
  if (dict == 0) return 1;
  DictionaryItemAdd(dict, "b", "2");
  DictionaryItemAdd(dict, "a", "1");
  DictionaryItemAdd(dict, "F",
                    "Title\x1c"
                    "Customer\x1d");

  size = DictionaryPackSize(dict);
  text = malloc((size_t)size);
  if (text == NULL || !DictionaryPack(dict, text)) return 1;
  fputs(text, stdout);
  ok &= strcmp(text,
               "F=Title\x1c"
               "Customer\x1d\r\na=1\r\nb=2\r\n") == 0;
  ok &= DictionaryAttributeGet(dict, "F", "Title", value) == 1 && strcmp(value, "Customer") == 0;
  ok &= StrLength("abc") == 3 && StrHash("abc") == 590;
  free(text);
  ok &= DictionaryFree(dict) == 1;
  printf("%s\n", ok ? "installed library: ok" : "installed library: WRONG RESULTS");
  return ok ? 0 : 1;
}
