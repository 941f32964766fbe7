// Exports of the dictionary archive and text form family.
#include "dictionary/archive.h"
#include "dictionary/text_form.h"
#include "duduzuvez210.h"
#include "library/guard.h"
#include "platform/code_page.h"
#include "platform/files.h"

using dzv::dict::DictionaryTable;
using dzv::library::WithTable;
using dzv::platform::CodePage;
using dzv::platform::Files;

extern "C" {

int32_t DZV_CALL DictionarySave(int32_t handle, const char* path) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionarySave(Files::Current(), t, handle, path);
  });
}

int32_t DZV_CALL DictionaryOpen(int32_t handle, const char* path) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionaryOpen(Files::Current(), CodePage::Current(), t, handle, path);
  });
}

int32_t DZV_CALL DictionaryPackSize(int32_t handle) {
  return WithTable(0, [&](DictionaryTable& t) { return dzv::dict::DictionaryPackSize(t, handle); });
}

int32_t DZV_CALL DictionaryPack(int32_t handle, char* buffer) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryPack(t, handle, buffer); });
}

int32_t DZV_CALL DictionaryUnpack(int32_t handle, const char* text) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryUnpack(t, handle, text); });
}

int32_t DZV_CALL DictionaryImport(int32_t handle, const char* path) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionaryImport(Files::Current(), t, handle, path);
  });
}

int32_t DZV_CALL DictionaryExport(int32_t handle, const char* path) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionaryExport(Files::Current(), t, handle, path);
  });
}

}  // extern "C"
