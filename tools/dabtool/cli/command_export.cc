// dabtool export: the address book as a DAB or legacy CSV file.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "export_book.h"
#include "file_io.h"
#include "terminal_text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool export [--legacy] [--delimiter Comma|Semicolon] [-o FILE]\n"
    "\n"
    "Exports the address book as the 26-column DAB CSV file, or with --legacy as\n"
    "the 3-column legacy file (name, e-mail, internet fax; individuals with an\n"
    "e-mail address only). The library writes it into the data folder; -o\n"
    "copies it to FILE. --raw-delimiter TEXT hands TEXT to the library as the\n"
    "delimiter name unchecked (any name but Comma gives ';').\n";

}  // namespace

int runExport(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--legacy", false});
  options.push_back({"-o", true});
  options.push_back({"--output", true});
  std::optional<ParsedArgs> given = parseCommand({"export", args, options, kHelp, 0, ""});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  std::string delimiterName = dabtool::delimiterName(parsed);
  bool legacy = parsed.flag("--legacy");
  std::string output = parsed.value("-o", parsed.value("--output", ""));
  Workspace workspace(global);
  ExportResult result = exportBook(workspace, legacy, delimiterName);
  std::string written = result.file;
  if (!output.empty()) {
    written = workspace.fromCaller(output);
    copyFileAtomically(result.file, workspace.shown(result.file), written, output);
  }
  std::string sentence = exportedSentence(result) + " to " + workspace.shown(written) + " (" +
                         (legacy ? "legacy" : "DAB") + " format, '" + result.delimiter +
                         "' between fields).";
  printLine(stdout, sentence);
  return kExitOk;
}

}  // namespace dabtool
