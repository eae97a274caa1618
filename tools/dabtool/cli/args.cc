#include "args.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "library_facts.h"
#include "text.h"

namespace dabtool {

namespace {

const Option* findOption(const std::vector<Option>& options, const std::string& name) {
  for (const Option& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string seeHelp(const std::string& command) {
  return " (see dabtool " + (command.empty() ? std::string() : command + " ") + "--help)";
}

}  // namespace

bool ParsedArgs::has(const std::string& name) const { return values.count(name) != 0; }

bool ParsedArgs::flag(const std::string& name) const {
  return std::find(flags.begin(), flags.end(), name) != flags.end();
}

std::string ParsedArgs::value(const std::string& name, const std::string& fallback) const {
  auto found = values.find(name);
  return found == values.end() ? fallback : found->second;
}

long ParsedArgs::number(const std::string& name, long fallback, long min, long max) const {
  auto found = values.find(name);
  if (found == values.end()) return fallback;
  std::optional<long> result = parseWholeNumber(found->second, min, max);
  if (!result) {
    throw UsageError(wholeNumberProblem(name, min, max, found->second));
  }
  return *result;
}

ParsedArgs parseArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<Option>& options) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    std::string name = arg;
    std::string inlineValue;
    size_t equals = arg.find('=');
    bool hasInline = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (hasInline) {
      name = arg.substr(0, equals);
      inlineValue = arg.substr(equals + 1);
    }
    const Option* option = findOption(options, name);
    if (option == nullptr) throw UsageError("unknown option '" + name + "'" + seeHelp(command));
    if (!option->takesValue) {
      if (hasInline) throw UsageError(name + " takes no value" + seeHelp(command));
      parsed.flags.push_back(name);
    } else if (hasInline || i + 1 < args.size()) {
      parsed.values[name] = hasInline ? inlineValue : args[++i];
      parsed.every[name].push_back(parsed.values[name]);
    } else {
      throw UsageError(name + " needs a value" + seeHelp(command));
    }
  }
  return parsed;
}

void expectPositional(const std::string& command, const ParsedArgs& parsed, size_t count,
                      const std::string& what) {
  if (parsed.positional.size() < count) {
    throw UsageError("dabtool " + command + " needs " + what + seeHelp(command));
  }
  if (parsed.positional.size() > count) {
    throw UsageError("unexpected argument '" + parsed.positional[count] + "'" + seeHelp(command));
  }
}

std::optional<ParsedArgs> parseCommand(const CommandSyntax& syntax) {
  ParsedArgs parsed = parseArgs(syntax.name, syntax.args, syntax.options);
  if (parsed.help) {
    std::fputs(syntax.help, stdout);
    return std::nullopt;
  }
  expectPositional(syntax.name, parsed, syntax.positional, syntax.what);
  return parsed;
}

std::string delimiterName(const ParsedArgs& parsed) {
  if (parsed.has("--delimiter") && parsed.has("--raw-delimiter")) {
    throw UsageError("give either --delimiter or --raw-delimiter, not both");
  }
  if (parsed.has("--raw-delimiter")) return parsed.value("--raw-delimiter", "");
  std::string typed = parsed.value("--delimiter", "Comma");
  std::optional<std::string> name = delimiterNameOf(typed);
  if (!name) {
    throw UsageError(unknownDelimiter(typed) + " (or --raw-delimiter TEXT to pass any text)");
  }
  return *name;
}

std::vector<Option> delimiterOptions() {
  return {{"--delimiter", true}, {"--raw-delimiter", true}};
}

}  // namespace dabtool

namespace dabtool {

bool keepDuplicates(const ParsedArgs& parsed) {
  std::string choice = parsed.value("--duplicates", "skip");
  if (choice != "skip" && choice != "keep") {
    throw UsageError("--duplicates takes skip or keep, not '" + choice + "'");
  }
  return choice == "keep";
}

}  // namespace dabtool
