// The Linux backend of the dialogs service, made with the services it uses.
#ifndef DZV_PLATFORM_LINUX_DIALOGS_H_
#define DZV_PLATFORM_LINUX_DIALOGS_H_

#include <memory>

#include "platform/code_page.h"
#include "platform/dialogs.h"
#include "platform/windowing.h"

namespace dzv::platform {

// The services that the dialogs are given when made: the code page service,
// the process's lead bytes (whose code page titles and paths are in) and
// the desktop's windows (an owner that is one of them is attached to).
struct DialogServices {
  CodePage& code_page;
  const LeadByteTable& lead_bytes;
  Windows& windows;
};

// The desktop portal's chooser where the session bus offers one, else
// zenity's. Dialogs::Default() is one made with the default services.
// REQUIRES: the services outlive the object.
std::unique_ptr<Dialogs> NewLinuxDialogs(const DialogServices& services);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_DIALOGS_H_
