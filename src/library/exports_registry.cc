// Exports of the registry family.
#include "duduzuvez210.h"
#include "library/guard.h"
#include "profile/registry_access.h"

using dzv::library::Guard;
using dzv::platform::Registry;

extern "C" {

int32_t DZV_CALL _ProfileRegistryWrite(DZV_HKEY root, const char* path, const char* name,
                                       const char* text) {
  return Guard(
      0, [&] { return dzv::profile::RegistryWrite(Registry::Current(), root, path, name, text); });
}

int32_t DZV_CALL _ProfileRegistryRead(DZV_HKEY root, const char* path, const char* name,
                                      char* buffer, uint32_t* size) {
  return Guard(0, [&] {
    return dzv::profile::RegistryRead(Registry::Current(), root, path, name, buffer, size);
  });
}

int32_t DZV_CALL _ProfileRegistryDeleteValue(DZV_HKEY root, const char* path, const char* name) {
  return Guard(
      0, [&] { return dzv::profile::RegistryDeleteValue(Registry::Current(), root, path, name); });
}

int32_t DZV_CALL _ProfileRegistryDeleteKey(DZV_HKEY root, const char* path) {
  return Guard(0, [&] { return dzv::profile::RegistryDeleteKey(Registry::Current(), root, path); });
}

int32_t DZV_CALL _ProfileRegistryEnumValues(DZV_HKEY root, const char* path, char* buffer,
                                            int32_t largest) {
  return Guard(0, [&] {
    return dzv::profile::RegistryEnumValues(Registry::Current(), root, path, buffer, largest);
  });
}

}  // extern "C"
