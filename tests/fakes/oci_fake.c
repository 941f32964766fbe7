/* Stand-in for the database client library Oci.dll. Every call appends one
 * line to the file named by DZV_FAKE_LOG: the entry point and its arguments.
 * Handles are logged by what they are (env, err, srv, svc, ses), other
 * non-null pointers as "ptr", null as "null", texts as [bytes] of the length
 * given. The environment decides the answers:
 *   DZV_OCI_CHANGE_STATUS    status of OCIPasswordChange (default 0)
 *   DZV_OCI_ERROR_CODE       code that OCIErrorGet reports (default 0)
 *   DZV_OCI_ERRORGET_STATUS  status of OCIErrorGet (default 0)
 *   DZV_OCI_FAIL_ALLOC       handle type whose creation fails (1: OCIEnvInit);
 *                            the failed call still stores a handle, "poison".
 * Built with DZV_FAKE_NO_PASSWORD_CHANGE it lacks OCIPasswordChange. */
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int sword;
typedef unsigned int ub4;
typedef int sb4;
typedef unsigned char OraText;

enum { kEnv, kErr, kSvc, kSrv, kSes, kPoison, kHandles };
static char handles[kHandles];
static const char* const kNames[kHandles] = {"env", "err", "svc", "srv", "ses", "poison"};

static const char* Name(const void* p) {
  if (p == NULL) return "null";
  for (int i = 0; i < kHandles; ++i) {
    if (p == &handles[i]) return kNames[i];
  }
  return "ptr";
}

static long Setting(const char* name) {
  const char* value = getenv(name);
  return value != NULL ? strtol(value, NULL, 10) : 0;
}

/* "[bytes]" of the given length into `out`, or "null". */
static const char* Text(const OraText* text, long length, char* out, size_t size) {
  if (text == NULL) return "null";
  snprintf(out, size, "[%.*s]", (int)length, (const char*)text);
  return out;
}

static void Record(const char* format, ...) {
  const char* path = getenv("DZV_FAKE_LOG");
  FILE* log = path != NULL ? fopen(path, "a") : NULL;
  if (log == NULL) return;
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
  fputc('\n', log);
  fclose(log);
}

/* Stores the handle for `type`, or poison with a failure status. */
static sword Create(void** out, ub4 type, int which) {
  if (out == NULL) return -2;
  *out = &handles[Setting("DZV_OCI_FAIL_ALLOC") == (long)type ? kPoison : which];
  return *out == &handles[kPoison] ? -2 : 0;
}

sword OCIInitialize(ub4 mode, void* ctxp, void* (*malocfp)(void*, size_t),
                    void* (*ralocfp)(void*, void*, size_t), void (*mfreefp)(void*, void*)) {
  Record("OCIInitialize %u %s %s %s %s", mode, Name(ctxp), malocfp ? "ptr" : "null",
         ralocfp ? "ptr" : "null", mfreefp ? "ptr" : "null");
  return 0;
}

sword OCIEnvInit(void** envp, ub4 mode, size_t xtramem_sz, void** usrmempp) {
  Record("OCIEnvInit %s %u %zu %s", Name(envp), mode, xtramem_sz, Name(usrmempp));
  return Create(envp, 1, kEnv);
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type, const size_t xtramem_sz,
                     void** usrmempp) {
  Record("OCIHandleAlloc %s %s %u %zu %s", Name(parenth), Name(hndlpp), type, xtramem_sz,
         Name(usrmempp));
  int which = type == 2 ? kErr : type == 3 ? kSvc : type == 8 ? kSrv : type == 9 ? kSes : kPoison;
  return Create(hndlpp, type, which);
}

sword OCIServerAttach(void* srvhp, void* errhp, const OraText* dblink, sb4 dblink_len, ub4 mode) {
  char t[256];
  Record("OCIServerAttach %s %s %s %d %u", Name(srvhp), Name(errhp),
         Text(dblink, dblink_len, t, sizeof t), dblink_len, mode);
  return 0;
}

sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                 void* errhp) {
  Record("OCIAttrSet %s %u %s %u %u %s", Name(trgthndlp), trghndltyp, Name(attributep), size,
         attrtype, Name(errhp));
  return 0;
}

#ifndef DZV_FAKE_NO_PASSWORD_CHANGE
sword OCIPasswordChange(void* svchp, void* errhp, const OraText* user_name, ub4 usernm_len,
                        const OraText* opasswd, ub4 opasswd_len, const OraText* npasswd,
                        ub4 npasswd_len, ub4 mode) {
  char u[256], o[256], n[256];
  Record("OCIPasswordChange %s %s %s %u %s %u %s %u %u", Name(svchp), Name(errhp),
         Text(user_name, usernm_len, u, sizeof u), usernm_len,
         Text(opasswd, opasswd_len, o, sizeof o), opasswd_len,
         Text(npasswd, npasswd_len, n, sizeof n), npasswd_len, mode);
  return (sword)Setting("DZV_OCI_CHANGE_STATUS");
}
#endif

sword OCISessionEnd(void* svchp, void* errhp, void* usrhp, ub4 mode) {
  Record("OCISessionEnd %s %s %s %u", Name(svchp), Name(errhp), Name(usrhp), mode);
  return 0;
}

sword OCIServerDetach(void* srvhp, void* errhp, ub4 mode) {
  Record("OCIServerDetach %s %s %u", Name(srvhp), Name(errhp), mode);
  return 0;
}

sword OCIHandleFree(void* hndlp, const ub4 type) {
  Record("OCIHandleFree %s %u", Name(hndlp), type);
  return 0;
}

/* Reports DZV_OCI_ERROR_CODE and fills the whole text buffer it is given. */
sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp,
                  ub4 bufsiz, ub4 type) {
  Record("OCIErrorGet %s %u %s %s %s %u %u", Name(hndlp), recordno, Name(sqlstate), Name(errcodep),
         Name(bufp), bufsiz, type);
  if (errcodep != NULL) *errcodep = (sb4)Setting("DZV_OCI_ERROR_CODE");
  if (bufp != NULL && bufsiz > 0) {
    memset(bufp, 'E', bufsiz - 1);
    bufp[bufsiz - 1] = 0;
  }
  return (sword)Setting("DZV_OCI_ERRORGET_STATUS");
}
