// Names that no other call makes: for the temporary files of a save.
#ifndef DZV_PLATFORM_UNIQUE_SUFFIX_H_
#define DZV_PLATFORM_UNIQUE_SUFFIX_H_

#include <string>

namespace dzv::platform {

// Twelve lower-case letters and digits that differ from one call to the
// next, in this process and between processes (a counter mixed with the
// clock and a random seed taken once). Throws std::bad_alloc.
std::string UniqueSuffix();

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_UNIQUE_SUFFIX_H_
