// The dabtool commands. Each run* function takes the global options and the
// arguments after the command's name, prints its results on stdout and
// returns the exit code; it throws UsageError or Failure for main to print.
// The work itself is done by the operations of the core and the import
// pipeline; a command only parses and presents.
#ifndef DABUTILS_TOOLS_DABTOOL_CLI_COMMANDS_H_
#define DABUTILS_TOOLS_DABTOOL_CLI_COMMANDS_H_

#include <string>
#include <vector>

#include "workspace.h"

namespace dabtool {

using Args = std::vector<std::string>;

int runSeed(const GlobalOptions& global, const Args& args);
int runList(const GlobalOptions& global, const Args& args);
int runExport(const GlobalOptions& global, const Args& args);
int runImport(const GlobalOptions& global, const Args& args);
int runSample(const GlobalOptions& global, const Args& args);
int runDemo(const GlobalOptions& global, const Args& args);
int runServe(const GlobalOptions& global, const Args& args);
int runRestore(const GlobalOptions& global, const Args& args);
int runUndo(const GlobalOptions& global, const Args& args);
int runDelete(const GlobalOptions& global, const Args& args);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CLI_COMMANDS_H_
