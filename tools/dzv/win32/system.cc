// The Windows side of dzv's system seam.
#include "system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "win32/windows_util.h"

namespace dzv::cli {

void PrepareStandardStreams() {
  // Bytes as they are, as on Linux: a value's "\n" is not made "\r\n", and
  // archive bytes read from standard input are not cut at 0x1A.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool IsConsoleHandle(void* handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool IsTerminal(std::FILE* stream) {
  static const bool out = IsConsoleHandle(GetStdHandle(STD_OUTPUT_HANDLE));
  static const bool err = IsConsoleHandle(GetStdHandle(STD_ERROR_HANDLE));
  return stream == stderr ? err : out;
}

void WriteToTerminal(std::FILE* stream, std::string_view text) {
  // The console shows UTF-16; the bytes are in the process's code page
  // (the library's), which need not be the console's.
  std::fflush(stream);
  const HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (text.empty()) return;
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length <= 0 || MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         wide.data(), length) != length) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  for (size_t done = 0; done < wide.size();) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
    if (!WriteConsoleW(console, wide.data() + done, chunk, &written, nullptr) || written == 0) {
      break;
    }
    done += written;
  }
}

std::string CodePageName() { return "CP" + std::to_string(GetACP()); }

std::string WhyClipboardRefused() { return "another program holds it open"; }

std::string WhyNoChoice(const char* what) {
  return std::string("no ") + what + " chosen: the dialog was cancelled";
}

std::string RegistryShown() { return "the registry"; }

std::string RegistryFile() { return ""; }

std::string RegistryPlaceProblem() { return ""; }

// The Windows registry keeps no lock that a caller waits for: a change that
// fails says what the system reported (WhyKeyUnwritable).
std::string RegistryLockedMessage() { return ""; }

std::string WhyKeyUnwritable(DZV_HKEY root, const std::string& path) {
  // The key itself when it exists, else the nearest key above it that
  // exists, which must let a key be made below it. Nothing is changed.
  std::string at = path;
  REGSAM access = KEY_SET_VALUE;
  for (;;) {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(reinterpret_cast<HKEY>(root), at.c_str(), 0, access, &key);
    if (status == ERROR_SUCCESS) {
      RegCloseKey(key);
      return "";
    }
    if (status != ERROR_FILE_NOT_FOUND || at.empty()) {
      return SystemMessage(static_cast<unsigned long>(status));
    }
    const size_t slash = at.rfind('\\');
    at = slash == std::string::npos ? "" : at.substr(0, slash);
    access = KEY_CREATE_SUB_KEY;
  }
}

size_t LastSeparator(const std::string& path) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '\\' || path[i] == '/') {
      last = i;
    } else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;  // the character's second byte
    }
  }
  return last;
}

std::string SystemMessage(unsigned long error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : "";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace dzv::cli
