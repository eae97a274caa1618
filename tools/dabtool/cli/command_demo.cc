// dabtool demo: the library's four jobs, once each, on a small address book.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "address_book.h"
#include "args.h"
#include "commands.h"
#include "database_copy.h"
#include "export_book.h"
#include "file_io.h"
#include "import_book.h"
#include "sample_file.h"
#include "seed.h"
#include "terminal_text.h"
#include "text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool demo [--contacts N]\n"
    "\n"
    "On an empty address book, adds N made-up contacts (default 300) and their\n"
    "groups; then exports the book in both formats, writes both samples,\n"
    "imports a small file with quoted, multi-line and UTF-8 rows, and reports\n"
    "what it did with the path of every file. On a book that already holds\n"
    "entries it adds nothing: the seed is skipped and the import is a dry run.\n";

// Rows people write: a quoted name with a comma, doubled quotes, a company
// that runs over two lines, East Asian and accented names, and one row
// without a display name, which the import refuses.
const char kDemoImport[] =
    "First Name,Last Name,Display Name,Company,E-mail Address,Internet Fax Address\r\n"
    "Zoë,Åkesson,\"Åkesson, Zoë\",Nørd Tech ApS,zoe.akesson@example.com,\r\n"
    "Jürgen,Schröder,Jürgen Schröder,\"Schröder \"\"& Sons\"\", GmbH\",juergen@example.org,"
    "fax.juergen@ifax.example.org\r\n"
    "Aiko,Yamada,山田 愛子,\"Yamada Trading\r\nCo., Ltd.\",aiko.yamada@example.net,\r\n"
    "Na,Li,李娜,,li.na@example.com,\r\n"
    "Sam,Blank,,Nobody Inc.,sam.blank@example.com,\r\n";

struct Row {
  std::string what;
  std::string path;
  std::string detail;
};

int existingEntries(const Workspace& workspace) {
  const std::string& database = workspace.databasePath();
  if (!std::filesystem::exists(database)) return 0;
  checkDatabaseFile(database, workspace.shown(database));
  return countEntries();
}

std::string importDetail(const ImportReport& report) {
  bool dryRun = report.request.dryRun;
  std::string detail = std::string(dryRun ? "dry run: would create " : "created ") +
                       plural(report.successCount, "contact", "contacts") + ", " +
                       std::to_string(report.failureCount) +
                       (dryRun ? " would be refused" : " refused");
  if (!report.duplicates.empty()) {
    detail += ", " + std::to_string(report.duplicates.size()) +
              (dryRun ? " would be skipped" : " skipped") + " as duplicates";
  }
  for (const auto& refused : report.log.refused) {
    detail +=
        "; " + describeRecord(report.scan, refused.first) + ": " + findingText(refused.second);
  }
  return detail;
}

// "  Import file    dabdata/demo-import.csv", and its detail below.
void printRow(const Row& row, const std::string& shownPath) {
  const int kLabelWidth = 14;
  std::string label = row.what;
  label.resize(std::max(label.size(), size_t{kLabelWidth}), ' ');
  printLine(stdout, "  " + label + " " + shownPath);
  if (!row.detail.empty())
    printLine(stdout, "  " + std::string(kLabelWidth, ' ') + " " + row.detail);
}

}  // namespace

int runDemo(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given =
      parseCommand({"demo", args, {{"--contacts", true}}, kHelp, 0, ""});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  int contacts = static_cast<int>(parsed.number("--contacts", 300, 0, 60000));
  Workspace workspace(global);
  std::vector<Row> rows;
  int before = existingEntries(workspace);
  bool fresh = before == 0;
  std::string bookDetail;
  if (fresh) {
    SeedResult seeded = seedBook(workspace, contacts, -1, 1);
    bookDetail = "seeded with " + plural(seeded.contacts, "contact", "contacts") + " and " +
                 plural(seeded.groups, "group", "groups");
  } else {
    bookDetail = "already held " + plural(before, "entry", "entries") + ": nothing added";
  }

  ExportResult dab = exportBook(workspace, false, "Comma");
  rows.push_back({"DAB export", dab.file, plural(dab.rows, "entry", "entries") + ", 26 columns"});
  ExportResult legacy = exportBook(workspace, true, "Comma");
  rows.push_back({"Legacy export", legacy.file,
                  plural(legacy.rows, "contact", "contacts") + " with an e-mail address"});
  rows.push_back({"DAB sample", writeSample(false, "Comma", 15, workspace), "all four services"});
  rows.push_back({"Legacy sample", writeSample(true, "Comma", 0, workspace), ""});

  std::string demoFile = workspace.root() + "/demo-import.csv";
  writeFileAtomically(demoFile, kDemoImport, workspace.shown(demoFile));
  ImportRequest request;
  request.file = demoFile;
  request.dryRun = !fresh;
  ImportReport imported = importFile(workspace, request);
  rows.push_back({"Import file", demoFile, "5 data rows: quoted, multi-line and UTF-8"});
  rows.push_back({"Placed upload", imported.placedFile, importDetail(imported)});
  rows.insert(rows.begin(), {"Address book", workspace.databasePath(),
                             bookDetail + "; now " + plural(countEntries(), "entry", "entries")});

  printLine(stdout, "dabtool demo: done, in " + workspace.shown(workspace.root()));
  std::fputs("\n", stdout);
  for (const Row& row : rows) printRow(row, workspace.shown(row.path));
  std::printf(
      "\nNext: dabtool list, dabtool export -o FILE, dabtool import FILE --dry-run "
      "(dabtool --help lists every command).\n");
  return imported.succeeded() ? kExitOk : kExitFailed;
}

}  // namespace dabtool
