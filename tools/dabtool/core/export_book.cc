#include "export_book.h"

#include <filesystem>

#include "address_book.h"
#include "database_copy.h"
#include "errors.h"
#include "library_facts.h"
#include "library_log.h"
#include "text.h"
#include "whole_file.h"

namespace dabtool {

namespace {

std::string exportFailure(const LibraryErrors& errors) {
  if (errors.saw(LibraryLine::kExportListFailed)) return "the address book could not be read";
  if (errors.saw(LibraryLine::kExportNotOpened)) {
    return "the export file could not be written in the data folder";
  }
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
  result.legacy = legacy;
  result.rows = rowsToExport(legacy);
  result.delimiter = exportDelimiter(delimiterName);
  result.file = workspace.fixedFile(legacy ? kLegacyExportFile : kExportFile);
  LibraryErrors errors;
  CText name(delimiterName);
  int ok = legacy ? LegacyAdressBookExport(name.get(), nullptr, nullptr, nullptr)
                  : AdressBookExport(name.get(), nullptr, nullptr);
  if (!ok) throw Failure("the export failed: " + exportFailure(errors));
  checkWholeCsv(result.file, workspace.shown(result.file),
                {result.delimiter, result.rows + 1, true, "export"});
  return result;
}

std::string exportedSentence(const ExportResult& result) {
  return "Exported " + (result.legacy ? plural(result.rows, "contact", "contacts")
                                      : plural(result.rows, "entry", "entries"));
}

}  // namespace dabtool
