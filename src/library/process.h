// The process-wide objects of the library, set up when the library is loaded
// and torn down when it is unloaded.
//
// Load, in this order: the code page's lead-byte table; the dictionary
// table, empty; the application object, named "zuvodavu.dll". Unload, in the
// reverse order: the application object, then the dictionary table, whose
// destruction releases every dictionary that callers did not free.
#ifndef DZV_LIBRARY_PROCESS_H_
#define DZV_LIBRARY_PROCESS_H_

#include <string>

#include "dictionary/dictionary_table.h"

namespace dzv::library {

// The module's application object. Nothing in the library reads it; it
// exists so that the load and unload order is the runtime's.
class Application {
 public:
  explicit Application(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// The process's dictionary table; null before load and after unload.
dict::DictionaryTable* Dictionaries();

}  // namespace dzv::library

#endif  // DZV_LIBRARY_PROCESS_H_
