#include "library/process.h"

#include "platform/code_page.h"

namespace dzv::library {
namespace {

dict::DictionaryTable* table = nullptr;
Application* application = nullptr;

// Constructed when the library is loaded, destroyed when it is unloaded.
struct ProcessObjects {
  ProcessObjects() {
    platform::InitProcessLeadBytes(platform::CodePage::Current());
    table = new dict::DictionaryTable(platform::ProcessLeadBytes());
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

}  // namespace dzv::library
