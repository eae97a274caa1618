// dabtool sample: the template files that show the expected columns.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "file_io.h"
#include "library_facts.h"
#include "sample_file.h"
#include "terminal_text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool sample [--legacy] [--services LIST] [--delimiter Comma|Semicolon] [-o FILE]\n"
    "\n"
    "Writes the sample DAB CSV file, with the column groups LIST names\n"
    "(comma-separated: fax, email, ifax, scan; or all, or none; default all),\n"
    "or with --legacy the sample legacy file. -o copies it to FILE.\n"
    "--raw-delimiter TEXT hands TEXT to the library unchecked (any name but\n"
    "Semicolon gives ',').\n";

}  // namespace

int runSample(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--legacy", false});
  options.push_back({"--services", true});
  options.push_back({"-o", true});
  options.push_back({"--output", true});
  std::optional<ParsedArgs> given = parseCommand({"sample", args, options, kHelp, 0, ""});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  bool legacy = parsed.flag("--legacy");
  if (legacy && parsed.has("--services")) {
    throw UsageError("--services applies to the DAB sample only, not with --legacy");
  }
  std::string delimiterName = dabtool::delimiterName(parsed);
  std::string unknown;
  std::optional<unsigned> services = servicesFromList(parsed.value("--services", "all"), &unknown);
  if (!services) {
    throw UsageError("unknown service '" + unknown + "' in --services: use " + kServiceChoices);
  }
  std::string output = parsed.value("-o", parsed.value("--output", ""));
  Workspace workspace(global);
  std::string written = writeSample(legacy, delimiterName, *services, workspace);
  if (!output.empty()) {
    std::string target = workspace.fromCaller(output);
    copyFileAtomically(written, workspace.shown(written), target, output);
    written = target;
  }
  std::string what = legacy ? std::string("legacy sample")
                            : "DAB sample with the " + serviceNames(*services) + " columns";
  printLine(stdout, "Wrote the " + what + " to " + workspace.shown(written) + " ('" +
                        importDelimiter(delimiterName) + "' between fields).");
  return kExitOk;
}

}  // namespace dabtool
