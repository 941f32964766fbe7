// Exports of the credentials family: private data forwarding to the sibling
// library and the database password change.
#include "credentials/password_change.h"
#include "credentials/private_data.h"
#include "duduzuvez210.h"
#include "library/guard.h"

using dzv::library::Guard;
using dzv::platform::Loader;

extern "C" {

int32_t DZV_CALL _LsaAvailable(void) {
  return Guard(0, [] { return dzv::credentials::LsaAvailable(Loader::Current()); });
}

int32_t DZV_CALL _StorePrivateData(int32_t first, int32_t second) {
  return Guard(
      0, [&] { return dzv::credentials::StorePrivateData(Loader::Current(), first, second); });
}

int32_t DZV_CALL _RetrievePrivateData(int32_t first, int32_t second) {
  return Guard(
      0, [&] { return dzv::credentials::RetrievePrivateData(Loader::Current(), first, second); });
}

uint8_t DZV_CALL _CanChangePassword(void) {
  return Guard(uint8_t{0},
               [] { return uint8_t{dzv::credentials::CanChangePassword(Loader::Current())}; });
}

int32_t DZV_CALL _ChangePassword(const char* user, const char* connect, const char* old_password,
                                 const char* new_password) {
  return Guard(dzv::credentials::kChangeFailed, [&] {
    return dzv::credentials::ChangePassword(Loader::Current(), user, connect, old_password,
                                            new_password);
  });
}

}  // extern "C"
