// Database password change through the vendor's OCI client library,
// "Oci.dll", which is loaded only for the length of a call, so the library
// loads and runs on machines without a database client.
//
// ChangePassword looks up the client's ten entry points (OCIInitialize,
// OCIEnvInit, OCIHandleAlloc, OCIServerAttach, OCIAttrSet, OCIPasswordChange,
// OCISessionEnd, OCIServerDetach, OCIHandleFree, OCIErrorGet, in this order)
// and then, with nothing but the calls below, changes the password:
//
//   OCIInitialize(OCI_OBJECT, null, null, null, null)
//   OCIEnvInit(&env, OCI_DEFAULT, 0, null)
//   OCIHandleAlloc(env, &err, OCI_HTYPE_ERROR, 0, null)
//   OCIHandleAlloc(env, &srv, OCI_HTYPE_SERVER, 0, null)
//   OCIServerAttach(srv, err, connect, length, OCI_DEFAULT)
//   OCIHandleAlloc(env, &svc, OCI_HTYPE_SVCCTX, 0, null)
//   OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err)
//   OCIHandleAlloc(env, &ses, OCI_HTYPE_SESSION, 0, null)
//   OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err)
//   OCIPasswordChange(svc, err, user, length, old, length, new, length,
//                     OCI_AUTH)
//   OCIErrorGet(err, 1, null, &code, text, 512, OCI_HTYPE_ERROR)
//                                          only when the change gave OCI_ERROR
//   OCISessionEnd(svc, err, ses, OCI_DEFAULT)
//   OCIServerDetach(srv, err, OCI_DEFAULT)
//   OCIHandleFree of srv, svc, ses, err and env, in this order
//
// The statuses before the change are not examined, except that a handle
// whose allocation failed counts as not created: it is never passed to a
// later call, ended or freed, and any call that needs it is left out. The
// change itself is made only when all five handles exist. The session end,
// the detach and the frees follow whatever the change gave.
//
// Texts go to OCI as their bytes and their length without the terminator;
// an empty text goes with length 0, and a null text counts as empty.
//
// Thread-safety: each call has its own client load, entry points and
// handles; nothing is shared between calls. The environment is initialised
// without OCI_THREADED.
#ifndef DZV_CREDENTIALS_PASSWORD_CHANGE_H_
#define DZV_CREDENTIALS_PASSWORD_CHANGE_H_

#include <cstdint>

#include "platform/loader.h"

namespace dzv::credentials {

// The client library's file name, handed to the loader without a directory.
inline constexpr char kClientLibrary[] = "Oci.dll";

// The result of ChangePassword when no change was made and the database gave
// no error code: the client does not load or lacks an entry point, a handle
// could not be created, the change gave a status other than success or
// OCI_ERROR, or its error record could not be read or carried code 0.
inline constexpr int32_t kChangeFailed = -1;

// Size of the buffer that receives the text of the error record.
inline constexpr unsigned kErrorTextSize = 512;

// True when the client library can be loaded. No entry point is looked up.
bool CanChangePassword(platform::Loader& loader);

// Changes the password of `user` on the database that `connect` names from
// `old_password` to `new_password`. Returns 0 when the password was changed
// (OCI_SUCCESS, or OCI_SUCCESS_WITH_INFO, a change with a warning), the
// database's error code from the first error record when the change gave
// OCI_ERROR, and kChangeFailed otherwise.
int32_t ChangePassword(platform::Loader& loader, const char* user, const char* connect,
                       const char* old_password, const char* new_password);

}  // namespace dzv::credentials

#endif  // DZV_CREDENTIALS_PASSWORD_CHANGE_H_
