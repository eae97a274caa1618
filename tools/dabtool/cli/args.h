// Command-line parsing shared by every dabtool command: the exit codes, the
// usage error, and a small option parser.
#ifndef DABUTILS_TOOLS_DABTOOL_CLI_ARGS_H_
#define DABUTILS_TOOLS_DABTOOL_CLI_ARGS_H_

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dabtool {

// kExitPartly: the work was done, but some of it (records of an import) was
// refused.
enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitPartly = 3 };

// The person asked for something the tool does not understand: a one-line
// message and exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One option a command accepts. `name` is spelled as typed ("--limit", "-o").
struct Option {
  std::string name;
  bool takesValue;
};

// What the parser found. Options that take a value keep the last one given.
struct ParsedArgs {
  std::map<std::string, std::string> values;
  std::map<std::string, std::vector<std::string>> every;  // each value, in order
  std::vector<std::string> flags;
  std::vector<std::string> positional;
  bool help = false;

  bool has(const std::string& name) const;
  bool flag(const std::string& name) const;
  // The option's value, or `fallback` when it was not given.
  std::string value(const std::string& name, const std::string& fallback) const;
  // The option's value as a whole number in [min, max]; UsageError otherwise.
  long number(const std::string& name, long fallback, long min, long max) const;
};

// Parses a command's arguments. Accepts "--name value", "--name=value",
// "--help"/"-h", and "--" to end the options. Throws UsageError for an
// unknown option or a missing value; `command` names the command in it.
ParsedArgs parseArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<Option>& options);

// Throws UsageError unless exactly `count` positional arguments were given;
// `what` names them for the message ("FILE").
void expectPositional(const std::string& command, const ParsedArgs& parsed, size_t count,
                      const std::string& what);

// What a command takes, for parseCommand.
struct CommandSyntax {
  std::string name;                      // "import"
  const std::vector<std::string>& args;  // the arguments after the name
  std::vector<Option> options;
  const char* help;   // printed for --help
  size_t positional;  // how many positional arguments it takes
  std::string what;   // names them in the usage error ("FILE")
};

// Parses a command's arguments and checks their count. For --help, prints
// the help on stdout and returns nullopt. Throws UsageError.
std::optional<ParsedArgs> parseCommand(const CommandSyntax& syntax);

// The delimiter name to hand to the library: "Comma" or "Semicolon" (in any
// letter case) from --delimiter, any text from --raw-delimiter, "Comma" when
// neither is given. Throws UsageError for a name the tool does not know.
std::string delimiterName(const ParsedArgs& parsed);

// --duplicates skip (the default) or keep: true for keep. UsageError for
// anything else.
bool keepDuplicates(const ParsedArgs& parsed);

// Options every command that takes a delimiter accepts.
std::vector<Option> delimiterOptions();

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CLI_ARGS_H_
