// dzv credentials: whether the libraries that the credential functions
// forward to can be found.
#include "cli.h"
#include "duduzuvez210.h"

namespace dzv::cli {
namespace {

int Status(const Args&) {
  const bool sibling = _LsaAvailable() != 0;
  const bool database = _CanChangePassword() != 0;
  Out(std::string("private data (devidoz.dll):    ") +
      (sibling ? "available" : "not found: _StorePrivateData and _RetrievePrivateData give 0") +
      "\n");
  Out(std::string("password change (Oci.dll):     ") +
      (database ? "available" : "not found: _ChangePassword gives -1") + "\n");
  return kExitOk;
}

constexpr Command kCommands[] = {
    {"status",
     "",
     0,
     0,
     "Say whether devidoz.dll and Oci.dll can be loaded.",
     "Both are found by file name along the dynamic linker's search path\n"
     "(LD_LIBRARY_PATH, the ldconfig cache, /lib, /usr/lib); a link of that name to\n"
     "the real library will do.",
     {},
     &Status},
};

}  // namespace

const Family& CredentialsFamily() {
  static const Family family{
      "credentials", "Whether the libraries behind the credential functions are there.",
      "The private-data functions forward to the sibling library devidoz.dll, the\n"
      "password change uses the database client Oci.dll.",
      kCommands};
  return family;
}

}  // namespace dzv::cli
