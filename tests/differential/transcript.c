/* The differential transcript: one fixed script of calls through the public
 * header, the same on every system the library is built for, printing one
 * line per step with its results and FNV-1a checksums of the buffers and
 * file bytes it produced. Two builds of the library behave alike exactly when
 * their transcripts are equal byte for byte.
 *
 *   transcript DIR
 *
 * DIR is an existing directory for the files of the script; the transcript
 * names them relative to it, so it holds no path. The script also writes,
 * and deletes at its end, one key under HKEY_CURRENT_USER\Software. Exit
 * status 0 when the script ran to its end (the transcript tells the
 * results), 2 for a wrong command line or a failed allocation. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "duduzuvez210.h"

enum {
  kItems = 50000,
  kBufferSize = 1 << 17,
};

static const char* g_dir;
static char* g_key;
static char* g_value;

/* ---- Output ------------------------------------------------------------ */

static uint32_t Fnv(uint32_t h, const void* data, size_t size) {
  const unsigned char* p = (const unsigned char*)data;
  for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}
static uint32_t FnvText(uint32_t h, const char* text) {
  return Fnv(h, text, strlen(text) + 1); /* the zero separates texts */
}
enum { kFnvStart = 2166136261u };

/* Prints a text with every byte outside printable ASCII, and the backslash,
 * as \xHH. */
static void PrintEscaped(const char* text, size_t size) {
  putchar('"');
  for (size_t i = 0; i < size; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c < 0x20 || c >= 0x7F || c == '\\' || c == '"') {
      printf("\\x%02X", c);
    } else {
      putchar(c);
    }
  }
  putchar('"');
}
/* Prints one result; calls are made in statement order, never as several
 * arguments of one call, whose order of evaluation the compilers choose. */
static void R(const char* label, int32_t result) { printf(" %s=%d", label, result); }
static void Show(const char* label, const char* text) {
  printf(" %s=", label);
  PrintEscaped(text, strlen(text));
}

/* ---- Files ------------------------------------------------------------- */

static const char* PathOf(const char* name) {
  static char path[4096];
  snprintf(path, sizeof path, "%s/%s", g_dir, name);
  return path;
}

/* Prints the file's size and checksum, or that it is missing. */
static void ShowFile(const char* name) {
  FILE* f = fopen(PathOf(name), "rb");
  if (f == NULL) {
    printf(" %s=missing", name);
    return;
  }
  uint32_t h = kFnvStart;
  long size = 0;
  char chunk[8192];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) {
    h = Fnv(h, chunk, got);
    size += (long)got;
  }
  fclose(f);
  printf(" %s=%ld/%08x", name, size, (unsigned)h);
}

static void WriteFile(const char* name, const char* bytes, size_t size) {
  FILE* f = fopen(PathOf(name), "wb");
  if (f == NULL || fwrite(bytes, 1, size, f) != size) {
    printf("cannot write %s\n", name);
    exit(2);
  }
  fclose(f);
}

/* ---- Pseudo-random data -------------------------------------------------- */

static uint32_t g_state = 0x2545F491u;
static uint32_t Next(void) { /* xorshift32 */
  g_state ^= g_state << 13;
  g_state ^= g_state >> 17;
  g_state ^= g_state << 5;
  return g_state;
}
static uint32_t Below(uint32_t n) { return Next() % n; }

/* Keys of 1 to 24 bytes: mostly letters, digits and ".", sometimes a byte of
 * 0x80 to 0xFF. No "=", line end or zero byte, so the text form keeps them. */
static void RandomKey(char* out) {
  static const char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";
  size_t length = 1 + Below(24);
  for (size_t i = 0; i < length; ++i) {
    out[i] = Below(40) == 0 ? (char)(0x80 + Below(0x80)) : kAlphabet[Below(sizeof kAlphabet - 1)];
  }
  out[length] = '\0';
}
/* Values of 0 to 120 bytes, one in 5000 of 300 to 40000 bytes (past the
 * archive's short length forms and the text form's line limit), with the
 * separators of lists and structured values now and then. */
static void RandomValue(char* out) {
  size_t length = Below(5000) == 0 ? 300 + Below(39700) : Below(121);
  for (size_t i = 0; i < length; ++i) {
    uint32_t r = Below(64);
    out[i] = r == 0 ? '\x1F' : r == 1 ? '\x1C' : r == 2 ? '=' : (char)(' ' + Below(95));
  }
  out[length] = '\0';
}

/* ---- Dictionaries ---------------------------------------------------------- */

/* Count and checksum of the enumeration through DictionaryItemGetInit and
 * DictionaryItemGetNext, keys and values in their order. */
static void ShowItems(const char* step, int32_t handle) {
  uint32_t h = kFnvStart;
  long seen = 0;
  int32_t more = DictionaryItemGetInit(handle);
  int32_t first = more;
  while (more) {
    g_key[0] = g_value[0] = '\0';
    more = DictionaryItemGetNext(handle, g_key, g_value);
    h = FnvText(FnvText(h, g_key), g_value);
    ++seen;
  }
  printf("%s: count=%d init=%d enumerated=%ld items=%08x\n", step, DictionaryItemCount(handle),
         first, seen, (unsigned)h);
}

/* Size and checksum of the text form. */
static void ShowPacked(const char* step, int32_t handle) {
  int32_t size = DictionaryPackSize(handle);
  char* text = (char*)malloc(size > 0 ? (size_t)size : 1);
  if (text == NULL) exit(2);
  int32_t result = size > 0 ? DictionaryPack(handle, text) : 0;
  printf("%s: size=%d pack=%d text=%08x\n", step, size, result,
         result ? (unsigned)Fnv(kFnvStart, text, (size_t)size) : 0u);
  free(text);
}

static void ShowValue(const char* step, int32_t handle, const char* key) {
  strcpy(g_value, "(untouched)");
  int32_t result = DictionaryLookup(handle, key, g_value);
  printf("%s: lookup=%d", step, result);
  Show("value", g_value);
  putchar('\n');
}

static int32_t LargeDictionary(void) {
  int32_t d = DictionaryNew("large");
  uint32_t added = 0;
  for (int i = 0; i < kItems; ++i) {
    RandomKey(g_key);
    RandomValue(g_value);
    added += (uint32_t)DictionaryItemAdd(d, g_key, g_value);
  }
  printf("build: handle=%d added=%u\n", d, (unsigned)added);
  ShowItems("build.items", d);

  /* Deletes and re-adds, replaying the key sequence from the same seed. */
  uint32_t saved = g_state;
  g_state = 0x2545F491u;
  uint32_t deleted = 0, readded = 0;
  for (int i = 0; i < kItems; ++i) {
    RandomKey(g_key);
    RandomValue(g_value);
    if (i % 3 == 0) deleted += (uint32_t)DictionaryItemDelete(d, g_key);
    if (i % 9 == 0) readded += (uint32_t)DictionaryItemAdd(d, g_key, "again");
  }
  g_state = saved;
  printf("churn: deleted=%u readded=%u\n", (unsigned)deleted, (unsigned)readded);
  ShowItems("churn.items", d);

  uint32_t h = kFnvStart;
  int found = 0;
  for (int i = 0; i < 2000; ++i) {
    RandomKey(g_key);
    strcpy(g_value, "-");
    found += DictionaryItemFind(d, g_key, g_value);
    h = FnvText(h, g_value);
  }
  printf("find: results=%d values=%08x\n", found, (unsigned)h);
  return d;
}

static void Archives(int32_t d) {
  printf("save: result=%d", DictionarySave(d, PathOf("large.dzv")));
  ShowFile("large.dzv");
  putchar('\n');
  int32_t reopened = DictionaryNew(NULL);
  printf("open: result=%d\n", DictionaryOpen(reopened, PathOf("large.dzv")));
  ShowItems("open.items", reopened);
  printf("save.again: result=%d", DictionarySave(reopened, PathOf("again.dzv")));
  ShowFile("again.dzv");
  putchar('\n');
  printf("open.missing:");
  R("result", DictionaryOpen(reopened, PathOf("missing.dzv")));
  R("count", DictionaryItemCount(reopened));
  putchar('\n');

  /* A truncated archive keeps the pairs read completely. */
  FILE* f = fopen(PathOf("large.dzv"), "rb");
  static char head[5000];
  size_t got = f ? fread(head, 1, sizeof head, f) : 0;
  if (f) fclose(f);
  WriteFile("cut.dzv", head, got);
  printf("open.truncated: result=%d\n", DictionaryOpen(reopened, PathOf("cut.dzv")));
  ShowItems("open.truncated.items", reopened);

  ShowPacked("pack", d);
  int32_t size = DictionaryPackSize(d);
  char* text = (char*)malloc((size_t)size);
  if (text == NULL) exit(2);
  DictionaryPack(d, text);
  int32_t unpacked = DictionaryNew(NULL);
  printf("unpack: result=%d\n", DictionaryUnpack(unpacked, text));
  free(text);
  ShowItems("unpack.items", unpacked);
  printf("export: result=%d", DictionaryExport(d, PathOf("large.txt")));
  ShowFile("large.txt");
  putchar('\n');
  int32_t imported = DictionaryNew(NULL);
  printf("import: result=%d\n", DictionaryImport(imported, PathOf("large.txt")));
  ShowItems("import.items", imported);
  ShowPacked("import.pack", imported);

  /* A hand-made text form: CR LF and LF lines, lines without "=", an empty
   * key, a value with "=". */
  static const char kForm[] = "b=2\r\nno equals\r\n=empty key\na=1=x\r\n\r\nc=\nlast=unterminated";
  WriteFile("form.txt", kForm, sizeof kForm - 1);
  int32_t form = DictionaryNew(NULL);
  printf("import.form: result=%d\n", DictionaryImport(form, PathOf("form.txt")));
  ShowItems("import.form.items", form);
  ShowValue("import.form.a", form, "a");
  ShowValue("import.form.empty", form, "");
  printf("export.form: result=%d", DictionaryExport(form, PathOf("form-out.txt")));
  ShowFile("form-out.txt");
  putchar('\n');
  printf("import.missing: result=%d\n", DictionaryImport(form, PathOf("missing.txt")));
  printf("free:");
  R("reopened", DictionaryFree(reopened));
  R("unpacked", DictionaryFree(unpacked));
  R("imported", DictionaryFree(imported));
  R("form", DictionaryFree(form));
  R("again", DictionaryFree(reopened));
  putchar('\n');
}

/* ---- Copy, merge, attributes ---------------------------------------------- */

static void CopyAndMerge(void) {
  static const char* const kKeys[] = {
      "Form.QueryList",        "QueryLists",     "QueryList",
      "QueryListXY",           "X.UserItemList", "UserItemLists",
      "Form.OverrideItemList", "Form.Plain",     "Other.QueryList",
  };
  int32_t source = DictionaryNew(NULL);
  int32_t destination = DictionaryNew(NULL);
  for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
    DictionaryItemAdd(source, kKeys[i],
                      "a\x1F"
                      "b\x1F"
                      "c\x1F");
    DictionaryItemAdd(destination, kKeys[i],
                      "c\x1F"
                      "d\x1F"
                      "a\x1F"
                      "e\x1F");
  }
  DictionaryItemAdd(destination, "Form.Only", "kept");
  int32_t merged = DictionaryMerge(source, destination, "Form");
  printf("merge: handle=%d\n", merged);
  ShowPacked("merge.pack", merged);
  printf("copy.prefixed: result=%d\n", DictionaryCopy(source, destination, "Form"));
  ShowPacked("copy.prefixed.pack", destination);
  printf("copy.all: result=%d\n", DictionaryCopy(source, destination, NULL));
  for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
    ShowValue(kKeys[i], destination, kKeys[i]);
  }
  printf("merge.freed:");
  R("free", DictionaryFree(merged));
  R("handle", DictionaryMerge(source, merged, ""));
  putchar('\n');

  int32_t d = source;
  DictionaryClear(d);
  DictionaryItemAdd(d, "Field", "Title\x1CThe title\x1DLabel\x1C\x1DStatus Text\x1Cready\x1D");
  DictionaryItemAdd(d, "Other.Title", "whole item");
  DictionaryItemAdd(d, "Other.Status Text", "via S");
  static const char* const kQueries[][2] = {
      {"Field", "Title"}, {"Field", "Label"},   {"Field", "Status Text"},
      {"Field", "Tit"},   {"Field", "Missing"}, {"Other", "T"},
      {"Other", "S"},     {"Other", "L"},       {"Absent", "Title"},
  };
  for (size_t i = 0; i < sizeof kQueries / sizeof kQueries[0]; ++i) {
    strcpy(g_value, "(untouched)");
    int32_t result = DictionaryAttributeGet(d, kQueries[i][0], kQueries[i][1], g_value);
    printf("attribute %s/%s: result=%d", kQueries[i][0], kQueries[i][1], result);
    Show("output", g_value);
    putchar('\n');
  }
  strcpy(g_value, "(untouched)");
  printf("attribute.invalid: result=%d", DictionaryAttributeGet(9999, "Field", "Title", g_value));
  Show("output", g_value);
  putchar('\n');
  printf("copy.free:");
  R("source", DictionaryFree(source));
  R("destination", DictionaryFree(destination));
  putchar('\n');
}

/* ---- Profiles ---------------------------------------------------------------- */

static void Profiles(void) {
  int32_t user = 0, defaults = 0;
  printf("profile.new: result=%d\n", _ProfileNew(&user, &defaults));
  printf("profile.set:");
  R("user", _ProfileValueSet(user, "Window", "Left", "10"));
  R("defaults", _ProfileValueSet(defaults, "Window", "Left", "0"));
  R("defaults", _ProfileValueSet(defaults, "Window", "Top", "5"));
  R("escaped", _ProfileValueSet(user, "Window", "a,b.c=d", "escaped"));
  R("deep", _ProfileValueSet(user, "Window.Deep", "Inner", "deep"));
  putchar('\n');
  static const char* const kEntries[] = {"Left", "Top", "a,b.c=d", "Inner", "Missing"};
  for (size_t i = 0; i < sizeof kEntries / sizeof kEntries[0]; ++i) {
    strcpy(g_value, "(untouched)");
    int32_t got = _ProfileValueGet(user, defaults, "Window", kEntries[i], g_value);
    printf("profile.get %s: result=%d", kEntries[i], got);
    Show("value", g_value);
    strcpy(g_value, "(untouched)");
    got = _ProfileValueLookup(user, "Window", kEntries[i], g_value);
    printf(" lookup=%d", got);
    Show("user", g_value);
    putchar('\n');
  }
  strcpy(g_value, "(untouched)");
  printf("profile.enumerate: result=%d", _ProfileEntryEnumerate(user, defaults, "Window", g_value));
  Show("entries", g_value);
  putchar('\n');
  memset(g_key, 'k', 300);
  g_key[300] = '\0';
  printf("profile.long_key:");
  R("set", _ProfileValueSet(user, "S", g_key, "v"));
  R("lookup", _ProfileValueLookup(user, "S", g_key, g_value));
  putchar('\n');
  printf("profile.delete:");
  R("entry", _ProfileEntryDelete(user, "Window", "Left"));
  R("section", _ProfileSectionDelete(user, "Window"));
  putchar('\n');
  ShowPacked("profile.user", user);
  ShowPacked("profile.defaults", defaults);
  printf("profile.free: result=%d\n", _ProfileFree(user, defaults));
}

/* ---- Text utilities ------------------------------------------------------------- */

static void Text(void) {
  static const char* const kTexts[] = {
      "", "abc", "hello, world", "\xE9t\xE9", "line\r\nnext", "(object Class \"X\")",
  };
  for (size_t i = 0; i < sizeof kTexts / sizeof kTexts[0]; ++i) {
    printf("str %u: length=%d hash=%d\n", (unsigned)i, StrLength(kTexts[i]), StrHash(kTexts[i]));
  }
  printf("str.null: length=%d\n", StrLength(NULL));

  static const char kLines[] = "first\r\nsecond\n\nfourth line is longer than the buffer\r\nlast";
  int32_t cursor = 0;
  char line[16];
  int32_t result;
  do {
    result = StrLineGet(kLines, &cursor, line, (int32_t)sizeof line);
    printf("line: result=%d cursor=%d", result, cursor);
    Show("line", line);
    putchar('\n');
  } while (result);

  static const struct {
    const char* text;
    int32_t start;
    const char* set;
    int32_t step;
  } kSearches[] = {
      {"hello, world", 0, "ow", 1},
      {"hello, world", 11, "lo", -1},
      {"hello, world", 3, "l", 0},
      {"hello, world", 0, "xyz", 1},
      {"aaaab", 0, "a", 2},
      {"\xE9\xE8\xE0z", 1, "\xE0", 1},
      {"abc", -5, "c", 3},
      {"abc", 7, "a", -3},
      {"", 0, "a", 1},
      {"text", 0, "", 1},
  };
  for (size_t i = 0; i < sizeof kSearches / sizeof kSearches[0]; ++i) {
    printf("search %u: in=%d not_in=%d\n", (unsigned)i,
           _PalStrFindFirstIn(kSearches[i].text, kSearches[i].start, kSearches[i].set,
                              kSearches[i].step),
           _PalStrFindFirstNotIn(kSearches[i].text, kSearches[i].start, kSearches[i].set,
                                 kSearches[i].step));
  }
  printf("search.null: in=%d not_in=%d\n", _PalStrFindFirstIn(NULL, 0, "a", 1),
         _PalStrFindFirstNotIn("a", 0, NULL, 1));

  static const char* const kModel[] = {
      "(object ClassAttribute \"x\"",
      "(object Attribute",
      "(object Operation \"Do\" (",
      "(object Inheritance_Relationship",
      "(object Has_Relationship",
      "(object Uses_Relationship",
      "(object State \"S\"",
      "(object Parameter \"p\"",
      "(object State_Machine",
      "(object Class_Category \"Logical View\"",
      "(object",
      "documentation \"text\"",
      "exportControl \"Public\"",
      "supplier \"A\")",
      "semantics (object Semantic_Info",
      "label \"a (b) c\" ))",
      "is_navigable TRUE",
      "   label",
      "|continued ( (",
      "\"one quote ((",
      "no quotes ( ( )",
  };
  for (size_t i = 0; i < sizeof kModel / sizeof kModel[0]; ++i) {
    char quoted[300];
    strcpy(quoted, "(untouched)");
    int32_t change = AdjustParLevel(kModel[i], quoted);
    printf("model %u: kind=%d change=%d", (unsigned)i, ParseRoseLine(kModel[i]), change);
    Show("quoted", quoted);
    putchar('\n');
  }
  printf("model.null: kind=%d change=%d\n", ParseRoseLine(NULL), AdjustParLevel(NULL, NULL));
}

/* ---- Registry ---------------------------------------------------------------------- */

/* Only what every registry promises: values named in the order in which they
 * were created and also in sorted order, REG_SZ data with the zero byte. */
static void Registry(void) {
  DZV_HKEY root = DZV_HKEY_CURRENT_USER;
  char base[96];
  /* A key of this run alone; its name never reaches the transcript. */
  snprintf(base, sizeof base, "Software\\duduzuvez210 transcript %lx.%lx",
           (unsigned long)time(NULL), (unsigned long)(uintptr_t)&base);
  char path[160];
  snprintf(path, sizeof path, "%s\\Settings\\Window", base);
  printf("registry.write:");
  R("alpha", _ProfileRegistryWrite(root, path, "Alpha", "one"));
  R("beta", _ProfileRegistryWrite(root, path, "Beta", ""));
  R("gamma", _ProfileRegistryWrite(root, path, "Gamma",
                                   "three\x1F"
                                   "3"));
  R("beta", _ProfileRegistryWrite(root, path, "Beta", "two"));
  putchar('\n');

  char buffer[64];
  uint32_t size = sizeof buffer;
  memset(buffer, '#', sizeof buffer);
  int32_t result = _ProfileRegistryRead(root, path, "Gamma", buffer, &size);
  printf("registry.read: result=%d size=%u", result, (unsigned)size);
  printf(" data=%08x\n", (unsigned)Fnv(kFnvStart, buffer, sizeof buffer));
  size = 3;
  result = _ProfileRegistryRead(root, path, "Gamma", buffer, &size);
  printf("registry.read.short: result=%d size=%u\n", result, (unsigned)size);
  size = 0;
  result = _ProfileRegistryRead(root, path, "Alpha", NULL, &size);
  printf("registry.read.length: result=%d size=%u\n", result, (unsigned)size);
  size = sizeof buffer;
  printf(
      "registry.read.missing: %d %d\n", _ProfileRegistryRead(root, path, "Delta", buffer, &size),
      _ProfileRegistryRead(root, "Software\\duduzuvez210 transcript none", "Alpha", buffer, &size));

  static const int32_t kLargest[] = {100, 16, 3, 0, -1};
  for (size_t i = 0; i < sizeof kLargest / sizeof kLargest[0]; ++i) {
    strcpy(g_value, "(untouched)");
    result = _ProfileRegistryEnumValues(root, path, g_value, kLargest[i]);
    printf("registry.enum %d: result=%d", kLargest[i], result);
    Show("names", g_value);
    putchar('\n');
  }
  printf("registry.delete_value:");
  R("present", _ProfileRegistryDeleteValue(root, path, "Beta"));
  R("absent", _ProfileRegistryDeleteValue(root, path, "Beta"));
  putchar('\n');
  strcpy(g_value, "(untouched)");
  printf("registry.enum.after: result=%d", _ProfileRegistryEnumValues(root, path, g_value, 100));
  Show("names", g_value);
  putchar('\n');
  char sibling[160];
  snprintf(sibling, sizeof sibling, "%s\\Settings\\Other\\Deeper", base);
  printf("registry.write.sibling: %d\n", _ProfileRegistryWrite(root, sibling, "", "unnamed"));
  strcpy(g_value, "(untouched)");
  printf("registry.enum.unnamed: result=%d",
         _ProfileRegistryEnumValues(root, sibling, g_value, 100));
  Show("names", g_value);
  putchar('\n');
  printf("registry.delete_key:");
  R("tree", _ProfileRegistryDeleteKey(root, base));
  R("again", _ProfileRegistryDeleteKey(root, base));
  R("empty_path", _ProfileRegistryDeleteKey(root, ""));
  putchar('\n');
  strcpy(g_value, "(untouched)");
  printf("registry.enum.deleted: result=%d", _ProfileRegistryEnumValues(root, path, g_value, 100));
  Show("names", g_value);
  putchar('\n');
}

/* ---- Bad input ------------------------------------------------------------------------- */

static void BadInput(void) {
  strcpy(g_value, "(untouched)");
  printf("invalid:");
  R("count", DictionaryItemCount(9999));
  R("add", DictionaryItemAdd(9999, "k", "v"));
  R("find", DictionaryItemFind(9999, "k", g_value));
  R("lookup", DictionaryLookup(0, "k", g_value));
  R("delete", DictionaryItemDelete(-1, "k"));
  R("init", DictionaryItemGetInit(9999));
  R("save", DictionarySave(9999, PathOf("never.dzv")));
  R("open", DictionaryOpen(9999, PathOf("large.dzv")));
  R("pack_size", DictionaryPackSize(9999));
  R("unpack", DictionaryUnpack(9999, "a=b"));
  R("export", DictionaryExport(9999, PathOf("never.txt")));
  R("copy", DictionaryCopy(9999, 9998, NULL));
  R("merge", DictionaryMerge(9999, 9998, NULL));
  R("free", DictionaryFree(9999));
  R("clear", DictionaryClear(0));
  Show("buffer", g_value);
  ShowFile("never.dzv");
  ShowFile("never.txt");
  putchar('\n');
  int32_t d = DictionaryNew(NULL);
  printf("empty: handle=%d", d);
  R("init", DictionaryItemGetInit(d));
  R("pack_size", DictionaryPackSize(d));
  R("save", DictionarySave(d, PathOf("empty.dzv")));
  ShowFile("empty.dzv");
  R("export", DictionaryExport(d, PathOf("empty.txt")));
  ShowFile("empty.txt");
  R("null_value", DictionaryItemAdd(d, "k", NULL));
  R("free", DictionaryFree(d));
  putchar('\n');
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: transcript DIR\n");
    return 2;
  }
  g_dir = argv[1];
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY); /* "\n" stays one byte */
#endif
  g_key = (char*)malloc(kBufferSize);
  g_value = (char*)malloc(kBufferSize);
  if (g_key == NULL || g_value == NULL) return 2;

  int32_t d = LargeDictionary();
  Archives(d);
  printf("large.free: %d\n", DictionaryFree(d));
  CopyAndMerge();
  Profiles();
  Text();
  Registry();
  BadInput();
  printf("end\n");
  free(g_key);
  free(g_value);
  return fflush(stdout) == 0 ? 0 : 2;
}
