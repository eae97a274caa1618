#include "cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace dabtool {

namespace {

const Option* findOption(const std::vector<Option>& options, const std::string& name) {
  for (const Option& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
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
  const std::string& text = found->second;
  char* end = nullptr;
  errno = 0;
  long result = std::strtol(text.c_str(), &end, 10);
  bool whole = !text.empty() && end == text.c_str() + text.size() && errno == 0 &&
               !std::isspace(static_cast<unsigned char>(text[0]));
  if (!whole || result < min || result > max) {
    throw UsageError(name + " wants a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not '" + text + "'");
  }
  return result;
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
    } else if (hasInline) {
      parsed.values[name] = inlineValue;
    } else if (i + 1 < args.size()) {
      parsed.values[name] = args[++i];
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

std::string delimiterName(const ParsedArgs& parsed) {
  if (parsed.has("--delimiter") && parsed.has("--raw-delimiter")) {
    throw UsageError("give either --delimiter or --raw-delimiter, not both");
  }
  if (parsed.has("--raw-delimiter")) return parsed.value("--raw-delimiter", "");
  std::string name = lowerCase(parsed.value("--delimiter", "Comma"));
  if (name == "comma") return "Comma";
  if (name == "semicolon") return "Semicolon";
  throw UsageError("unknown delimiter '" + parsed.value("--delimiter", "") +
                   "': use Comma or Semicolon (or --raw-delimiter TEXT to pass any text)");
}

std::string plural(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::vector<Option> delimiterOptions() {
  return {{"--delimiter", true}, {"--raw-delimiter", true}};
}

}  // namespace dabtool
