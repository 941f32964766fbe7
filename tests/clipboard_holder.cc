// A second process on the session clipboard, for the clipboard tests.
//   clipboard_holder DIR hold      opens the clipboard of the store DIR,
//                                  prints "held" and keeps it open until its
//                                  input closes
//   clipboard_holder DIR set TEXT  puts TEXT on it and prints the result
#include <cstdio>
#include <cstring>

#include "desktop/clipboard.h"
#include "platform/linux/clipboard.h"

int main(int argc, char** argv) {
  using namespace dzv;
  if (argc < 3) return 2;
  auto clipboard = platform::NewLinuxClipboard(argv[1]);
  if (std::strcmp(argv[2], "hold") == 0) {
    if (!clipboard->Open(0)) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    clipboard->Close();
    return 0;
  }
  if (std::strcmp(argv[2], "set") == 0 && argc == 4) {
    std::printf("%d\n", static_cast<int>(desktop::SetClipboardData(*clipboard, 0, argv[3])));
    return 0;
  }
  return 2;
}
