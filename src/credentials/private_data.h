// Private data forwarding: storing and retrieving private data is the
// business of the suite's sibling library, devidoz.dll. These functions reach
// it without linking to it: every call loads the sibling by file name, looks
// its export up by name, uses it and unloads it again before returning, so a
// missing sibling is never an error until a call needs it.
//
// The two values forwarded are the sibling's business; they are passed on
// unchanged and in the caller's order, and never read here.
//
// Thread-safety: no state of their own; the platform counts the loads.
#ifndef DZV_CREDENTIALS_PRIVATE_DATA_H_
#define DZV_CREDENTIALS_PRIVATE_DATA_H_

#include <cstdint>

#include "platform/loader.h"

namespace dzv::credentials {

// The sibling's file name, handed to the loader without a directory.
inline constexpr char kSiblingLibrary[] = "devidoz.dll";

// 1 when the sibling loads and exports _LsaAvailable, else 0. The export is
// never called: its presence alone is the answer.
int32_t LsaAvailable(platform::Loader& loader);

// The result of the sibling's export of the same name, called with `first`
// and `second` in this order; 0 when the sibling does not load or lacks the
// export (a 0 from the sibling looks the same).
int32_t StorePrivateData(platform::Loader& loader, int32_t first, int32_t second);
int32_t RetrievePrivateData(platform::Loader& loader, int32_t first, int32_t second);

}  // namespace dzv::credentials

#endif  // DZV_CREDENTIALS_PRIVATE_DATA_H_
