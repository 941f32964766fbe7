#include "credentials/password_change.h"

#include <cstring>

#include "credentials/oci.h"

namespace dzv::credentials {

using platform::ScopedLibrary;

namespace oci {
namespace {

struct EntryPoints {
  OCIInitializeFn initialize;
  OCIEnvInitFn env_init;
  OCIHandleAllocFn handle_alloc;
  OCIServerAttachFn server_attach;
  OCIAttrSetFn attr_set;
  OCIPasswordChangeFn password_change;
  OCISessionEndFn session_end;
  OCIServerDetachFn server_detach;
  OCIHandleFreeFn handle_free;
  OCIErrorGetFn error_get;
};

// Looks the entry points up in the order that password_change.h lists them
// and stops at the first one missing. Returns false then.
bool FindEntryPoints(const ScopedLibrary& client, EntryPoints* e) {
  return (e->initialize = client.Find<OCIInitializeFn>("OCIInitialize")) &&
         (e->env_init = client.Find<OCIEnvInitFn>("OCIEnvInit")) &&
         (e->handle_alloc = client.Find<OCIHandleAllocFn>("OCIHandleAlloc")) &&
         (e->server_attach = client.Find<OCIServerAttachFn>("OCIServerAttach")) &&
         (e->attr_set = client.Find<OCIAttrSetFn>("OCIAttrSet")) &&
         (e->password_change = client.Find<OCIPasswordChangeFn>("OCIPasswordChange")) &&
         (e->session_end = client.Find<OCISessionEndFn>("OCISessionEnd")) &&
         (e->server_detach = client.Find<OCIServerDetachFn>("OCIServerDetach")) &&
         (e->handle_free = client.Find<OCIHandleFreeFn>("OCIHandleFree")) &&
         (e->error_get = client.Find<OCIErrorGetFn>("OCIErrorGet"));
}

// A caller's text as OCI takes it. A null text is the empty text.
struct Text {
  explicit Text(const char* s)
      : bytes(reinterpret_cast<const OraText*>(s != nullptr ? s : "")),
        length(static_cast<ub4>(std::strlen(reinterpret_cast<const char*>(bytes)))) {}
  const OraText* bytes;
  ub4 length;
};

bool Succeeded(sword status) { return status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO; }

// Allocates a handle of `type` under `env`; null when there is no
// environment or the allocation failed.
template <class Handle>
Handle* Allocate(const EntryPoints& oci, OCIEnv* env, ub4 type) {
  if (env == nullptr) return nullptr;
  dvoid* handle = nullptr;
  if (!Succeeded(oci.handle_alloc(env, &handle, type, 0, nullptr))) return nullptr;
  return static_cast<Handle*>(handle);
}

void Free(const EntryPoints& oci, void* handle, ub4 type) {
  if (handle != nullptr) oci.handle_free(handle, type);
}

// Turns the status of the change into the caller's result, reading the
// first error record after OCI_ERROR.
int32_t ResultOf(const EntryPoints& oci, OCIError* err, sword status) {
  if (Succeeded(status)) return 0;
  if (status != OCI_ERROR) return kChangeFailed;
  sb4 code = 0;
  OraText text[kErrorTextSize] = {};  // read as the interface requires, never passed on
  const sword read = oci.error_get(err, 1, nullptr, &code, text, kErrorTextSize, OCI_HTYPE_ERROR);
  // Code 0 would read as success; a failure without a code is kChangeFailed.
  return Succeeded(read) && code != 0 ? code : kChangeFailed;
}

int32_t Change(const EntryPoints& oci, const Text& user, const Text& connect,
               const Text& old_password, const Text& new_password) {
  oci.initialize(OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
  OCIEnv* env = nullptr;
  if (!Succeeded(oci.env_init(&env, OCI_DEFAULT, 0, nullptr))) env = nullptr;
  OCIError* err = Allocate<OCIError>(oci, env, OCI_HTYPE_ERROR);
  OCIServer* srv = Allocate<OCIServer>(oci, env, OCI_HTYPE_SERVER);
  if (srv && err) {
    oci.server_attach(srv, err, connect.bytes, static_cast<sb4>(connect.length), OCI_DEFAULT);
  }
  OCISvcCtx* svc = Allocate<OCISvcCtx>(oci, env, OCI_HTYPE_SVCCTX);
  if (svc && srv && err) oci.attr_set(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
  OCISession* ses = Allocate<OCISession>(oci, env, OCI_HTYPE_SESSION);
  if (svc && ses && err) oci.attr_set(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);

  int32_t result = kChangeFailed;
  if (err && srv && svc && ses) {
    const sword status =
        oci.password_change(svc, err, user.bytes, user.length, old_password.bytes,
                            old_password.length, new_password.bytes, new_password.length, OCI_AUTH);
    result = ResultOf(oci, err, status);
  }

  if (svc && err && ses) oci.session_end(svc, err, ses, OCI_DEFAULT);
  if (srv && err) oci.server_detach(srv, err, OCI_DEFAULT);
  Free(oci, srv, OCI_HTYPE_SERVER);
  Free(oci, svc, OCI_HTYPE_SVCCTX);
  Free(oci, ses, OCI_HTYPE_SESSION);
  Free(oci, err, OCI_HTYPE_ERROR);
  Free(oci, env, OCI_HTYPE_ENV);
  return result;
}

}  // namespace
}  // namespace oci

bool CanChangePassword(platform::Loader& loader) {
  return ScopedLibrary(loader, kClientLibrary).loaded();
}

int32_t ChangePassword(platform::Loader& loader, const char* user, const char* connect,
                       const char* old_password, const char* new_password) {
  ScopedLibrary client(loader, kClientLibrary);
  if (!client.loaded()) return kChangeFailed;
  oci::EntryPoints entry_points;
  if (!oci::FindEntryPoints(client, &entry_points)) return kChangeFailed;
  return oci::Change(entry_points, oci::Text(user), oci::Text(connect), oci::Text(old_password),
                     oci::Text(new_password));
}

}  // namespace dzv::credentials
