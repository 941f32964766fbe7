// What every command family of dzv shares: the exit codes, the two kinds of
// failure, a small argument parser, and the tables that describe commands
// (from which the help texts are made).
#ifndef DZV_TOOLS_DZV_CLI_H_
#define DZV_TOOLS_DZV_CLI_H_

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dzv::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the operation failed; the message says why
constexpr int kExitUsage = 2;   // the command line is wrong

// The command line is wrong. Reported with a pointer to --help, exit 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operation failed. The message names the file or key and what is wrong;
// it is reported as it is, exit 1.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An option of a command: "--prefix" with the value's placeholder "P", or a
// flag when the placeholder is empty.
struct Option {
  std::string_view name;
  std::string_view placeholder;
  std::string_view help;
};

// A command line parsed against a command's options: options may stand
// anywhere ("--name value" or "--name=value"); "--" ends the options, so
// that later words beginning with "-" are arguments. A lone "-" is an
// argument. "--help" (or "-h") asks for the command's help only where an
// option may stand before the first argument; after an argument it is a
// usage error, never the help: a value that looks like an option follows
// "--" ("dzv dict set a.dict k -- --help" stores "--help").
class Args {
 public:
  // Throws UsageError for an unknown option, a flag given a value, an
  // option whose value is missing, and "--help" after an argument.
  Args(std::span<const std::string> words, std::span<const Option> options);

  // True when "--help" or "-h" stood before the arguments.
  bool help() const { return help_; }
  bool Has(std::string_view option) const;
  // The option's value (the last one given), or fallback when it is absent.
  std::string Value(std::string_view option, std::string_view fallback = {}) const;
  const std::vector<std::string>& positional() const { return positional_; }
  const std::string& operator[](size_t i) const { return positional_.at(i); }
  size_t size() const { return positional_.size(); }

 private:
  std::vector<std::pair<std::string, std::string>> given_;
  std::vector<std::string> positional_;
  bool help_ = false;
};

// One command of a family, e.g. "dict set".
struct Command {
  std::string_view name;
  std::string_view arguments;  // the arguments as the usage line shows them
  size_t min_arguments;
  size_t max_arguments;
  std::string_view summary;  // one line
  std::string_view details;  // further help text, may be empty
  std::span<const Option> options;
  int (*run)(const Args& args);
};

// A family of commands, e.g. "dict".
struct Family {
  std::string_view name;
  std::string_view summary;  // one line
  std::string_view details;  // further help text, may be empty
  std::span<const Command> commands;
};

// The command families, in the order of the overall help.
const Family& DictFamily();
const Family& ProfileFamily();
const Family& ModelFamily();
const Family& RegistryFamily();
const Family& ClipboardFamily();
const Family& DialogFamily();
const Family& CredentialsFamily();

// Every family, in that order.
std::span<const Family* const> Families();

// The help texts, made from the tables: dzv's own (--help), a family's, a
// command's, and all of them one after the other (the manual shipped as
// dzv.txt beside dzv.exe).
std::string OverallHelp();
std::string FamilyHelp(const Family& family);
std::string CommandHelp(const Family& family, const Command& command);
std::string Manual();

// Runs the family's command named by words[0] with the words after it;
// handles --help and reports wrong usage. Failure propagates to the caller.
int RunFamily(const Family& family, std::span<const std::string> words);

// Writes bytes to standard output as they are.
void Out(std::string_view bytes);
// Writes a line that names files, keys or other names given by the user or
// found on disk (a path, a value name), and a line end. On a terminal the
// line's control characters are escaped as by OutValue, so that a file
// name cannot drive the terminal; to a pipe or a file it goes as it is.
void OutLine(std::string_view line);
// Writes a value that a command prints (a dictionary value, a setting, a
// registry text, the clipboard's text) and a line end. On a terminal the
// value's control characters are escaped (Harmless in escapes.h), so that
// stored bytes cannot drive the terminal; to a pipe or a file it goes as it
// is. With raw, the value's bytes go exactly, without the line end.
void OutValue(std::string_view value, bool raw);
// Writes a message line to standard error. On a terminal its control
// characters are escaped as by OutValue: messages name paths and words of
// the command line, whose bytes must not drive the terminal.
void Note(std::string_view message);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_CLI_H_
