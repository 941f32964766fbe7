// The part of the database vendor's OCI client interface that the password
// change uses: its scalar types, constants and the C signatures of the ten
// entry points, as the vendor publishes them. The library never links
// against the client; it looks these entry points up at run time.
#ifndef DZV_CREDENTIALS_OCI_H_
#define DZV_CREDENTIALS_OCI_H_

#include <cstddef>

namespace dzv::credentials::oci {

using ub4 = unsigned int;
using sb4 = signed int;
using sword = int;
using OraText = unsigned char;
using dvoid = void;

// Handles are opaque to the caller.
struct OCIEnv;
struct OCIError;
struct OCIServer;
struct OCISvcCtx;
struct OCISession;

// Statuses.
inline constexpr sword OCI_SUCCESS = 0;
inline constexpr sword OCI_SUCCESS_WITH_INFO = 1;
inline constexpr sword OCI_ERROR = -1;

// Modes.
inline constexpr ub4 OCI_DEFAULT = 0;
inline constexpr ub4 OCI_OBJECT = 2;
inline constexpr ub4 OCI_AUTH = 8;

// Handle types.
inline constexpr ub4 OCI_HTYPE_ENV = 1;
inline constexpr ub4 OCI_HTYPE_ERROR = 2;
inline constexpr ub4 OCI_HTYPE_SVCCTX = 3;
inline constexpr ub4 OCI_HTYPE_SERVER = 8;
inline constexpr ub4 OCI_HTYPE_SESSION = 9;

// Attributes of a service context.
inline constexpr ub4 OCI_ATTR_SERVER = 6;
inline constexpr ub4 OCI_ATTR_SESSION = 7;

// The entry points. They use the platform's default C calling convention.
using OCIInitializeFn = sword (*)(ub4 mode, dvoid* ctxp,
                                  dvoid* (*malocfp)(dvoid* ctxp, size_t size),
                                  dvoid* (*ralocfp)(dvoid* ctxp, dvoid* memptr, size_t newsize),
                                  void (*mfreefp)(dvoid* ctxp, dvoid* memptr));
using OCIEnvInitFn = sword (*)(OCIEnv** envp, ub4 mode, size_t xtramem_sz, dvoid** usrmempp);
using OCIHandleAllocFn = sword (*)(const dvoid* parenth, dvoid** hndlpp, const ub4 type,
                                   const size_t xtramem_sz, dvoid** usrmempp);
using OCIServerAttachFn = sword (*)(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                                    sb4 dblink_len, ub4 mode);
using OCIAttrSetFn = sword (*)(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size,
                               ub4 attrtype, OCIError* errhp);
using OCIPasswordChangeFn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, const OraText* user_name,
                                      ub4 usernm_len, const OraText* opasswd, ub4 opasswd_len,
                                      const OraText* npasswd, ub4 npasswd_len, ub4 mode);
using OCISessionEndFn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
using OCIServerDetachFn = sword (*)(OCIServer* srvhp, OCIError* errhp, ub4 mode);
using OCIHandleFreeFn = sword (*)(dvoid* hndlp, const ub4 type);
using OCIErrorGetFn = sword (*)(dvoid* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                                OraText* bufp, ub4 bufsiz, ub4 type);

}  // namespace dzv::credentials::oci

#endif  // DZV_CREDENTIALS_OCI_H_
