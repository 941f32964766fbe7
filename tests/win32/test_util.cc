// The Windows side of the shared test helpers (test_util.h): child processes
// through CreateProcess, temporary directories under GetTempPath.
#include "test_util.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace dzv::testing {

namespace {
constexpr const char kChildMarker[] = "DZV_TEST_CHILD";

// The name of an environment entry "NAME=value", upper-cased, as Windows
// compares names without case.
std::string EntryName(const std::string& entry) {
  std::string name = entry.substr(0, entry.find('=', 1));
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}
// The ANSI code page that Wine gives a process started under the locale
// name `locale` ("ja_JP.SJIS"): the language's, whatever the codeset.
UINT CodePageOfLocale(const std::string& locale) {
  const struct {
    const char* prefix;
    UINT code_page;
  } kLanguages[] = {{"ja", 932},  {"zh_TW", 950}, {"zh_HK", 950}, {"zh", 936},  {"ko", 949},
                    {"ru", 1251}, {"uk", 1251},   {"bg", 1251},   {"pl", 1250}, {"cs", 1250},
                    {"hu", 1250}, {"el", 1253},   {"tr", 1254},   {"he", 1255}, {"ar", 1256}};
  for (const auto& language : kLanguages) {
    if (locale.rfind(language.prefix, 0) == 0) return language.code_page;
  }
  return 1252;
}

// The locale that a process with `environment` added would run under, or
// null when `environment` changes none of its variables.
std::optional<std::string> RequestedLocale(std::initializer_list<const char*> environment) {
  bool changed = false;
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    for (const char* add : environment) {
      const std::string prefix = std::string(name) + "=";
      if (std::strncmp(add, prefix.c_str(), prefix.size()) == 0) {
        value = add + prefix.size();
        changed = true;
      }
    }
    if (locale.empty() && value != nullptr) locale = value;
  }
  if (!changed) return std::nullopt;
  return locale;
}
}  // namespace

// Under Wine a process's ANSI code page comes from the locale environment of
// the Unix process, which a child started from here inherits unchanged. A
// child that asks for a locale of another code page is therefore not
// started: the test is skipped, and runs where the build starts the test
// program under that locale (tests/win32/windows.cmake).
bool InChildProcess(std::initializer_list<const char*> environment) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "." + info->name();
  const char* marker = std::getenv(kChildMarker);
  if (marker != nullptr && name == marker) return true;
  if (const auto locale = RequestedLocale(environment)) {
    const UINT wanted = CodePageOfLocale(*locale);
    if (wanted != GetACP()) {
      [&] {
        GTEST_SKIP() << "needs code page " << wanted << " (locale " << *locale
                     << "); this process has " << GetACP();
      }();
      return false;
    }
  }

  std::vector<std::string> added(environment.begin(), environment.end());
  added.push_back(std::string(kChildMarker) + "=" + name);
  std::string block;
  if (char* current = GetEnvironmentStringsA()) {
    for (const char* e = current; *e != '\0'; e += std::strlen(e) + 1) {
      bool replaced = false;
      for (const std::string& add : added) replaced |= EntryName(e) == EntryName(add);
      if (!replaced) block.append(e).push_back('\0');
    }
    FreeEnvironmentStringsA(current);
  }
  for (const std::string& add : added) block.append(add).push_back('\0');
  block.push_back('\0');

  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_TRUE(length > 0 && length < MAX_PATH);
  std::string command = std::string("\"") + self + "\" --gtest_filter=" + name;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0,
                                      block.data(), nullptr, &startup, &process);
  EXPECT_TRUE(started) << "cannot start the child process";
  if (!started) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u) << "the test failed in its child process (" << name << ")";
  return false;
}

// PATH by the folder's full path: the loader skips entries that depend on
// the current folder or drive ("/work/...", which names the current drive's).
bool WithLibrarySearchPath(const std::string& dir) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(dir.c_str(), MAX_PATH, full, nullptr);
  const std::string setting =
      "PATH=" + (length > 0 && length < MAX_PATH ? std::string(full, length) : dir);
  return InChildProcess({setting.c_str()});
}

TempDir::TempDir() {
  char base[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof base, base);
  if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetTempPath failed");
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::string path = std::string(base) + "dzv-test-" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount() + attempt);
    if (CreateDirectoryA(path.c_str(), nullptr)) {
      path_ = path;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {

// The command line that gives a program of the C runtime exactly `argv`.
std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& word : argv) {
    if (!line.empty()) line += ' ';
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos) {
      line += word;
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (const char c : word) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled, and the quote escaped.
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment,
                           const std::string& directory, const std::string& in,
                           const std::string& out, const std::string& err) {
  const HANDLE input = Inheritable(in, GENERIC_READ, OPEN_EXISTING);
  const HANDLE output = Inheritable(out, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE error = err == out ? output : Inheritable(err, GENERIC_WRITE, CREATE_ALWAYS);
  std::string block;
  for (const std::string& entry : environment) block.append(entry).push_back('\0');
  block.push_back('\0');
  std::string command = CommandLine(argv);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process = {};
  if (input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE &&
      error != INVALID_HANDLE_VALUE &&
      CreateProcessA(argv[0].c_str(), command.data(), nullptr, nullptr, TRUE, 0, block.data(),
                     directory.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    id_ = reinterpret_cast<intptr_t>(process.hProcess);
  }
  for (const HANDLE h : {input, output}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (error != output && error != INVALID_HANDLE_VALUE) CloseHandle(error);
}

ChildProcess::~ChildProcess() {
  if (id_ == -1) return;
  const HANDLE process = reinterpret_cast<HANDLE>(id_);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}

ChildProcess::End ChildProcess::Wait(std::chrono::milliseconds limit) {
  End end;
  if (id_ == -1) return end;
  const HANDLE process = reinterpret_cast<HANDLE>(id_);
  if (WaitForSingleObject(process, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
    end.hung = true;
  } else {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    // An unhandled exception ends a program with its code (0xC0000005 ...).
    if (code >= 0xC0000000u) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
      end.crashed = std::string("exception ") + hex;
    } else {
      end.status = static_cast<int>(code);
    }
  }
  CloseHandle(process);
  id_ = -1;
  return end;
}

std::vector<std::string> EnvironmentWith(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::map<std::string, std::string> by_name;  // Windows compares names without case
  for (const auto& [name, value] : changes) by_name[EntryName(name + "=")] = name;
  std::vector<std::string> environment;
  if (char* current = GetEnvironmentStringsA()) {
    for (const char* e = current; *e != '\0'; e += std::strlen(e) + 1) {
      if (by_name.count(EntryName(e)) == 0) environment.emplace_back(e);
    }
    FreeEnvironmentStringsA(current);
  }
  for (const auto& [name, value] : changes) {
    if (value) environment.push_back(name + "=" + *value);
  }
  return environment;
}

}  // namespace dzv::testing
