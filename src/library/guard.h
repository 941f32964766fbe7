// The one helper of the export layer: runs the body of an export and turns
// every exception into the export's failure result, so that nothing crosses
// the library's boundary.
#ifndef DZV_LIBRARY_GUARD_H_
#define DZV_LIBRARY_GUARD_H_

#include "library/process.h"

namespace dzv::library {

template <class Result, class Body>
Result Guard(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Guard for exports that work on the dictionary table: also gives the
// failure result when the table does not exist (before load, after unload).
template <class Result, class Body>
Result WithTable(Result failure, Body&& body) noexcept {
  return Guard(failure, [&]() -> Result {
    dict::DictionaryTable* t = Dictionaries();
    return t == nullptr ? failure : body(*t);
  });
}

}  // namespace dzv::library

#endif  // DZV_LIBRARY_GUARD_H_
