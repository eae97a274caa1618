// dabtool export: the address book as a DAB or legacy CSV file.
#include <cstdio>
#include <filesystem>

#include "address_book.h"
#include "cli.h"
#include "commands.h"
#include "database_copy.h"
#include "file_io.h"
#include "library_call.h"
#include "log_listener.h"

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

std::string exportFailure(const ErrorLines& errors) {
  if (errors.has("Cannot get the list of contact")) return "the address book could not be read";
  if (errors.has("Failed to open"))
    return "the export file could not be written in the data folder";
  return "the address book could not be opened";
}

int rowsToExport(bool legacy) {
  AddressBook book;
  if (!legacy) return book.count();
  int rows = 0;
  for (const BookEntry& entry : book.entries()) rows += entry.dlType == 0 && !entry.email.empty();
  return rows;
}

}  // namespace

ExportResult exportBook(const Workspace& workspace, bool legacy, const std::string& delimiterName) {
  std::string shownName = workspace.shown(workspace.databasePath());
  if (!std::filesystem::exists(workspace.databasePath())) {
    throw Failure("there is no address book at " + shownName +
                  " yet (dabtool seed or dabtool import makes one)");
  }
  checkDatabaseFile(workspace.databasePath(), shownName);
  ExportResult result;
  result.rows = rowsToExport(legacy);
  result.delimiter = exportDelimiter(delimiterName);
  result.file = workspace.fixedFile(legacy ? kLegacyExportFile : kExportFile);
  ErrorLines errors;
  CText name(delimiterName);
  int ok = legacy ? LegacyAdressBookExport(name.get(), nullptr, nullptr, nullptr)
                  : AdressBookExport(name.get(), nullptr, nullptr);
  if (!ok) throw Failure("the export failed: " + exportFailure(errors));
  return result;
}

int runExport(const GlobalOptions& global, const Args& args) {
  std::vector<Option> options = delimiterOptions();
  options.push_back({"--legacy", false});
  options.push_back({"-o", true});
  options.push_back({"--output", true});
  ParsedArgs parsed = parseArgs("export", args, options);
  if (parsed.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  expectPositional("export", parsed, 0, "");
  std::string delimiterName = dabtool::delimiterName(parsed);
  bool legacy = parsed.flag("--legacy");
  std::string output = parsed.value("-o", parsed.value("--output", ""));
  Workspace workspace(global);
  ExportResult result = exportBook(workspace, legacy, delimiterName);
  std::string written = result.file;
  if (!output.empty()) {
    written = workspace.fromCaller(output);
    writeFileAtomically(written, readFile(result.file, workspace.shown(result.file)), output);
  }
  std::string rows =
      legacy ? plural(result.rows, "contact", "contacts") : plural(result.rows, "entry", "entries");
  std::printf("Exported %s to %s (%s format, '%c' between fields).\n", rows.c_str(),
              workspace.shown(written).c_str(), legacy ? "legacy" : "DAB", result.delimiter);
  return kExitOk;
}

}  // namespace dabtool
