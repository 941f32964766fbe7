#include "library/process.h"

#include "text/mbcs.h"

namespace dzv::library {
namespace {

dict::DictionaryTable* table = nullptr;
Application* application = nullptr;

// Constructed when the library is loaded, destroyed when it is unloaded.
struct ProcessObjects {
  ProcessObjects() {
    text::InitProcessLeadBytes();
    table = new dict::DictionaryTable;
    application = new Application("zuvodavu.dll");
  }
  ~ProcessObjects() {
    delete application;
    application = nullptr;
    delete table;
    table = nullptr;
  }
};

ProcessObjects process_objects;

}  // namespace

dict::DictionaryTable* Dictionaries() { return table; }
const Application* App() { return application; }

}  // namespace dzv::library
