#include "credentials/private_data.h"

#include "duduzuvez210.h"

namespace dzv::credentials {
namespace {

using platform::ScopedLibrary;

// The sibling's data exports follow this library's own calling rules.
using SiblingFn = int32_t(DZV_CALL*)(int32_t, int32_t);

int32_t Forward(platform::Loader& loader, const char* export_name, int32_t first, int32_t second) {
  ScopedLibrary sibling(loader, kSiblingLibrary);
  if (!sibling.loaded()) return 0;
  SiblingFn fn = sibling.Find<SiblingFn>(export_name);
  return fn != nullptr ? fn(first, second) : 0;
}

}  // namespace

int32_t LsaAvailable(platform::Loader& loader) {
  ScopedLibrary sibling(loader, kSiblingLibrary);
  if (!sibling.loaded()) return 0;
  return sibling.Find<platform::Loader::Symbol>("_LsaAvailable") != nullptr ? 1 : 0;
}

int32_t StorePrivateData(platform::Loader& loader, int32_t first, int32_t second) {
  return Forward(loader, "_StorePrivateData", first, second);
}

int32_t RetrievePrivateData(platform::Loader& loader, int32_t first, int32_t second) {
  return Forward(loader, "_RetrievePrivateData", first, second);
}

}  // namespace dzv::credentials
