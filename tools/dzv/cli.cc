#include "cli.h"

#include <algorithm>
#include <cstdio>

#include "escapes.h"
#include "system.h"

namespace dzv::cli {
namespace {

const Option* FindOption(std::span<const Option> options, std::string_view name) {
  for (const Option& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

bool IsHelp(std::string_view word) { return word == "--help" || word == "-h"; }

std::string UsageLine(const Family& family, const Command& command) {
  std::string line = "dzv " + std::string(family.name) + " " + std::string(command.name);
  if (!command.options.empty()) line += " [OPTIONS]";
  if (!command.arguments.empty()) line += " " + std::string(command.arguments);
  return line;
}

}  // namespace

std::span<const Family* const> Families() {
  static const Family* const families[] = {
      &DictFamily(),      &ProfileFamily(), &ModelFamily(),       &RegistryFamily(),
      &ClipboardFamily(), &DialogFamily(),  &CredentialsFamily(),
  };
  return families;
}

std::string OverallHelp() {
  std::string text =
      "Usage: dzv FAMILY COMMAND [ARGUMENTS]\n\n"
      "A command-line client of libduduzuvez210: look into and repair dictionary\n"
      "archives and text forms, profile layers, registry values and model files.\n\n"
      "Families:\n";
  for (const Family* family : Families()) {
    std::string name = "  " + std::string(family->name);
    name.resize(15, ' ');
    text += name + std::string(family->summary) + "\n";
  }
  text +=
      "\nRun 'dzv FAMILY --help' for its commands, 'dzv FAMILY COMMAND --help' for one.\n"
      "Exit status: 0 done, 1 the operation failed, 2 wrong usage.\n";
  return text;
}

std::string FamilyHelp(const Family& family) {
  std::string text = "Usage: dzv " + std::string(family.name) + " COMMAND [ARGUMENTS]\n\n" +
                     std::string(family.summary) + "\n";
  if (!family.details.empty()) text += "\n" + std::string(family.details) + "\n";
  text += "\nCommands:\n";
  for (const Command& command : family.commands) {
    std::string head = "  " + std::string(command.name);
    if (!command.arguments.empty()) head += " " + std::string(command.arguments);
    if (head.size() < 34) {
      head.resize(34, ' ');
    } else {
      head += "\n" + std::string(34, ' ');
    }
    text += head + std::string(command.summary) + "\n";
  }
  text += "\nRun 'dzv " + std::string(family.name) + " COMMAND --help' for one command.\n";
  return text;
}

std::string CommandHelp(const Family& family, const Command& command) {
  std::string text =
      "Usage: " + UsageLine(family, command) + "\n\n" + std::string(command.summary) + "\n";
  if (!command.details.empty()) text += "\n" + std::string(command.details) + "\n";
  text += "\nOptions:\n";
  for (const Option& option : command.options) {
    std::string head = "  " + std::string(option.name);
    if (!option.placeholder.empty()) head += " " + std::string(option.placeholder);
    head.resize(std::max<size_t>(head.size() + 2, 22), ' ');
    text += head + std::string(option.help) + "\n";
  }
  text += "  --help              show this help\n";
  return text;
}

std::string Manual() {
  const std::string rule(78, '=');
  std::string text = OverallHelp();
  for (const Family* family : Families()) {
    text += "\n" + rule + "\n" + FamilyHelp(*family);
    for (const Command& command : family->commands) {
      text += "\n" + std::string(rule.size(), '-') + "\n" + CommandHelp(*family, command);
    }
  }
  return text;
}

Args::Args(std::span<const std::string> words, std::span<const Option> options) {
  bool options_ended = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options_ended || word.size() < 2 || word[0] != '-') {
      positional_.push_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    if (IsHelp(word)) {
      if (!positional_.empty()) {
        throw UsageError("'" + word + "' after the arguments: ask for help before them, or " +
                         "give a value that begins with '-' after '--'");
      }
      help_ = true;
      continue;
    }
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const Option* option = FindOption(options, name);
    if (option == nullptr) throw UsageError("unknown option '" + name + "'");
    std::string value;
    if (option->placeholder.empty()) {
      if (equals != std::string::npos) throw UsageError(name + " takes no value");
    } else if (equals != std::string::npos) {
      value = word.substr(equals + 1);
    } else if (i + 1 < words.size()) {
      value = words[++i];
    } else {
      throw UsageError(name + " needs a value (" + std::string(option->placeholder) + ")");
    }
    given_.emplace_back(name, std::move(value));
  }
}

bool Args::Has(std::string_view option) const {
  return std::any_of(given_.begin(), given_.end(),
                     [&](const auto& given) { return given.first == option; });
}

std::string Args::Value(std::string_view option, std::string_view fallback) const {
  for (auto it = given_.rbegin(); it != given_.rend(); ++it) {
    if (it->first == option) return it->second;
  }
  return std::string(fallback);
}

int RunFamily(const Family& family, std::span<const std::string> words) {
  if (words.empty()) {
    Note("dzv " + std::string(family.name) + ": a command is missing");
    Note("Try 'dzv " + std::string(family.name) + " --help'.");
    return kExitUsage;
  }
  if (IsHelp(words[0])) {
    Out(FamilyHelp(family));
    return kExitOk;
  }
  const auto command = std::find_if(family.commands.begin(), family.commands.end(),
                                    [&](const Command& c) { return c.name == words[0]; });
  if (command == family.commands.end()) {
    Note("dzv " + std::string(family.name) + ": unknown command '" + words[0] + "'");
    Note("Try 'dzv " + std::string(family.name) + " --help'.");
    return kExitUsage;
  }
  try {
    const Args args(words.subspan(1), command->options);
    if (args.help()) {
      Out(CommandHelp(family, *command));
      return kExitOk;
    }
    if (args.size() < command->min_arguments) throw UsageError("too few arguments");
    if (args.size() > command->max_arguments) {
      throw UsageError("unexpected argument '" + args[command->max_arguments] + "'");
    }
    return command->run(args);
  } catch (const UsageError& error) {
    Note("dzv " + std::string(family.name) + " " + std::string(command->name) + ": " +
         error.what());
    Note("Usage: " + UsageLine(family, *command));
    Note("Try 'dzv " + std::string(family.name) + " " + std::string(command->name) + " --help'.");
    return kExitUsage;
  }
}

void Out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void OutValue(std::string_view value, bool raw) {
  if (raw) {
    Out(value);
  } else if (IsTerminal(stdout)) {
    WriteToTerminal(stdout, Harmless(value) + "\n");
  } else {
    Out(value);  // no copy: a value may be hundreds of megabytes
    Out("\n");
  }
}

void OutLine(std::string_view line) { OutValue(line, false); }

void Note(std::string_view message) {
  if (IsTerminal(stderr)) {
    WriteToTerminal(stderr, Harmless(message) + "\n");
  } else {
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
  }
}

}  // namespace dzv::cli
