#include "dab_file.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>

#include "DABExport.h"
#include "errors.h"
#include "record_scan.h"
#include "text.h"

namespace dabtool {

namespace {

// Columns of a DAB row, 0-based.
enum Column {
  kId,
  kDisplayName,
  kFirstName,
  kLastName,
  kCompany,
  kFavoritesOrder,
  kMemberOf,
  kIsDl,
  kWorkflows,
  kFaxNumber,
  kFaxFavorite,
  kEmail,
  kEmailFavorite,
  kInternetFax,
  kScanNickName,
  kScanFavorite,
  kScanProtocol,
  kScanHost,
  kScanPort,
  kScanDocumentPath,
  kScanLoginName,
  kScanPassword,
  kScanSmbShare,
  kScanNdsTree,
  kScanNdsContext,
  kScanNdsVolume,
};

// Kind of a group the export names "Unknown": any kind but fax and e-mail
// comes out that way, so any such value reads back the same.
constexpr int kOtherGroupKind = 3;

// Database protocol code of each CSV protocol number 1 to 7.
constexpr int kProtocolCodes[] = {1, 6, 2, 0, 3, 4, 5};
constexpr int kSmbCode = 2;
constexpr int kNdsCode = 0;

// The columns a group's row leaves empty.
constexpr Column kIndividualOnly[] = {
    kFirstName,   kLastName,         kCompany,       kFavoritesOrder, kFaxNumber,
    kEmail,       kInternetFax,      kScanNickName,  kScanProtocol,   kScanHost,
    kScanPort,    kScanDocumentPath, kScanLoginName, kScanPassword,   kScanSmbShare,
    kScanNdsTree, kScanNdsContext,   kScanNdsVolume};

std::string headerLine(char delimiter) {
  std::string line;
  for (int i = 0; i < DAB_CSV_COLUMN_COUNT; ++i) {
    if (i > 0) line += delimiter;
    line += DAB_CSV_COLUMN_NAMES[i];
  }
  return line;
}

std::string_view firstLine(std::string_view bytes) {
  return bytes.substr(0, bytes.find_first_of("\r\n"));
}

// What bytes that are no DAB export look like, for the sentence that
// refuses them.
std::string lookalike(std::string_view bytes) {
  if (bytes.empty()) return "it is empty";
  if (bytes.substr(0, 16) == std::string_view("SQLite format 3\0", 16)) {
    return "it is an SQLite database, not a CSV file";
  }
  if (bytes.substr(0, 4096).find('\0') != std::string_view::npos) {
    return "it holds binary data, not text";
  }
  std::string_view line = firstLine(bytes);
  if (line.rfind("*****", 0) == 0) {
    return "it is a DAB sample (template), whose rows describe the columns rather than entries";
  }
  if (line.rfind(DAB_CSV_COLUMN_NAMES[0], 0) == 0) {
    return "its header differs from the 26 columns of a DAB export";
  }
  auto commas = std::count(line.begin(), line.end(), ',');
  auto semicolons = std::count(line.begin(), line.end(), ';');
  long fields = std::max(commas, semicolons) + 1;
  std::string shape = "its first line has " + plural(fields, "field", "fields");
  if (fields == 3) return shape + ", like a legacy export, which holds names and addresses only";
  if (fields == 6) return shape + ", like a file for dabtool import";
  return shape + "; a DAB export starts with the 26 column names " + DAB_CSV_COLUMN_NAMES[0] +
         ", " + DAB_CSV_COLUMN_NAMES[1] + ", ...";
}

// The delimiter of the header line, or nullopt when it is no DAB header.
std::optional<char> headerDelimiter(std::string_view bytes) {
  std::string_view line = firstLine(bytes);
  for (char delimiter : {',', ';'}) {
    if (line == headerLine(delimiter)) return delimiter;
  }
  return std::nullopt;
}

std::optional<int> number(const std::string& text) {
  std::optional<long> value = parseWholeNumber(text, INT_MIN, INT_MAX);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

// Thrown inside the reading of one row; becomes its RowProblem.
struct BadRow {
  std::string reason;
};

int numberCell(const FieldValues& cells, Column column) {
  std::optional<int> value = number(cells[column]);
  if (!value) {
    throw BadRow{std::string(DAB_CSV_COLUMN_NAMES[column]) + " is '" + cells[column] +
                 "', not a whole number"};
  }
  return *value;
}

int kindOf(const FieldValues& cells) {
  const std::string& isDl = cells[kIsDl];
  const std::string& workflows = cells[kWorkflows];
  if (isDl == "0" && workflows.empty()) return DAB_DBI_INDIVIDUAL;
  if (isDl == "1" && workflows == "Fax") return DAB_DBI_FAX_GROUP;
  if (isDl == "2" && workflows == "Email") return DAB_DBI_EMAIL_GROUP;
  if (isDl == "0" && workflows == "Unknown") return kOtherGroupKind;
  throw BadRow{"unknown kind of entry: IsDL '" + isDl + "' with ZltApplicableWorkflows '" +
               workflows + "'"};
}

// The MemberOf cell reads as the ids in one pair of double quotes.
std::vector<int> memberOf(const std::string& cell) {
  std::string_view ids(cell);
  if (ids.empty()) return {};
  if (ids.size() < 2 || ids.front() != '"' || ids.back() != '"') {
    throw BadRow{"MemberOf is '" + cell + "', not a list of group ids in double quotes"};
  }
  ids = ids.substr(1, ids.size() - 2);
  std::vector<int> groups;
  for (size_t start = 0; start <= ids.size();) {
    size_t comma = std::min(ids.find(',', start), ids.size());
    std::optional<int> id = number(std::string(ids.substr(start, comma - start)));
    if (!id) throw BadRow{"MemberOf is '" + cell + "', not a list of group ids"};
    groups.push_back(*id);
    start = comma + 1;
  }
  return groups;
}

// The server address as the database keeps it, from the host and port cells.
void readServerAddress(const std::string& host, int port, NewScan& scan) {
  scan.hasServerAddress = !host.empty();
  if (!scan.hasServerAddress) return;
  scan.serverAddressType = host.front() == '[' ? 2 : 0;
  scan.serverAddress = host;
  if (port != 0) scan.serverAddress += ":" + std::to_string(port);
}

void readScan(const FieldValues& cells, DabRow& row) {
  NewScan& scan = row.entry.scan;
  row.entry.hasScan = true;
  int protocol = numberCell(cells, kScanProtocol);
  if (protocol < 1 || protocol > 7) {
    throw BadRow{"ScanTransferProtocol is " + cells[kScanProtocol] + ", not 1 to 7"};
  }
  scan.transferProtocol = kProtocolCodes[protocol - 1];
  scan.nickName = cells[kScanNickName];
  readServerAddress(cells[kScanHost], numberCell(cells, kScanPort), scan);
  scan.documentPath = cells[kScanDocumentPath];
  scan.loginName = cells[kScanLoginName];
  if (scan.transferProtocol == kSmbCode) scan.shareOrVolume = cells[kScanSmbShare];
  if (scan.transferProtocol == kNdsCode) scan.shareOrVolume = cells[kScanNdsVolume];
  scan.ndsTree = cells[kScanNdsTree];
  scan.ndsContext = cells[kScanNdsContext];
  scan.favorite = numberCell(cells, kScanFavorite) != 0;
  row.hasScanDestination = !scan.nickName.empty() || scan.hasServerAddress;
}

void readIndividual(const FieldValues& cells, DabRow& row) {
  NewEntry& entry = row.entry;
  entry.firstName = cells[kFirstName];
  entry.lastName = cells[kLastName];
  entry.company = cells[kCompany];
  entry.favoritesOrder = cells[kFavoritesOrder].empty() ? -1 : numberCell(cells, kFavoritesOrder);
  entry.faxNumber = cells[kFaxNumber];
  // Every '/' the export leaves in a fax number stands where it dropped a
  // segment.
  row.faxSegmentLost = entry.faxNumber.find('/') != std::string::npos;
  entry.email = cells[kEmail];
  entry.internetFax = cells[kInternetFax];
  if (!cells[kScanPassword].empty()) throw BadRow{"ScanLoginPassword holds a value"};
  readScan(cells, row);
}

void readGroup(const FieldValues& cells, DabRow& row) {
  for (Column column : kIndividualOnly) {
    if (!cells[column].empty()) {
      throw BadRow{std::string("a group's row holds a value in ") + DAB_CSV_COLUMN_NAMES[column]};
    }
  }
  if (numberCell(cells, kScanFavorite) != 0) {
    row.entry.hasScan = true;
    row.entry.scan.hasServerAddress = false;
    row.entry.scan.favorite = true;
  }
}

DabRow readRow(const FieldValues& cells, char delimiter) {
  if (cells.size() != DAB_CSV_COLUMN_COUNT) {
    std::string reason =
        "has " + plural(static_cast<long>(cells.size()), "field", "fields") + "; a DAB row has 26";
    if (delimiter == ';' && cells.size() > DAB_CSV_COLUMN_COUNT) {
      reason +=
          " (the export does not quote a value that holds ';', so such a row cannot be "
          "read back: export with Comma)";
    }
    throw BadRow{reason};
  }
  DabRow row;
  row.id = numberCell(cells, kId);
  row.entry.dlType = kindOf(cells);
  row.entry.displayName = cells[kDisplayName];
  row.memberOf = memberOf(cells[kMemberOf]);
  row.entry.faxFavorite = numberCell(cells, kFaxFavorite) != 0;
  row.entry.emailFavorite = numberCell(cells, kEmailFavorite) != 0;
  if (row.entry.dlType == DAB_DBI_INDIVIDUAL) {
    readIndividual(cells, row);
  } else {
    readGroup(cells, row);
  }
  return row;
}

// Ids must be unique, and every MemberOf id must name a group of the file.
void checkIds(DabFile& file) {
  std::map<int, const DabRow*> byId;
  for (const DabRow& row : file.rows) {
    auto [at, fresh] = byId.emplace(row.id, &row);
    if (!fresh) {
      file.problems.push_back({row.line, "id " + std::to_string(row.id) + " is taken by line " +
                                             std::to_string(at->second->line) + " already"});
    }
  }
  for (const DabRow& row : file.rows) {
    std::set<int> seen;
    for (int group : row.memberOf) {
      auto found = byId.find(group);
      std::string problem;
      if (found == byId.end()) {
        problem = "no row defines";
      } else if (found->second->entry.dlType == DAB_DBI_INDIVIDUAL) {
        problem = "is no group";
      } else if (group == row.id) {
        problem = "is the entry itself";
      } else if (!seen.insert(group).second) {
        problem = "is named twice";
      }
      if (!problem.empty()) {
        file.problems.push_back(
            {row.line, "MemberOf names " + std::to_string(group) + ", which " + problem});
      }
    }
  }
}

void checkComplete(const RecordScan& scan, DabFile& file) {
  if (scan.malformed) {
    file.problems.push_back({scan.malformedLine, scan.malformedReason});
  } else if (scan.trailingData) {
    int line = scan.records.empty() ? 1 : scan.records.back().endLine + 1;
    file.problems.push_back(
        {line, "the last row has no line end: the file was cut short, and this row with it"});
  }
}

}  // namespace

DabFile readDabFile(std::string_view bytes, const std::string& shownName) {
  std::optional<char> delimiter = headerDelimiter(bytes);
  if (!delimiter) {
    throw UnreadableFile(shownName + " is not a DAB export: " + lookalike(bytes));
  }
  DabFile file;
  file.delimiter = *delimiter;
  auto visit = [&](int number, int line, const FieldValues& cells) {
    if (number == 1) return;  // the header row
    try {
      file.rows.push_back(readRow(cells, *delimiter));
      file.rows.back().line = line;
    } catch (const BadRow& bad) {
      file.problems.push_back({line, bad.reason});
    }
  };
  RecordScan scan = readRecords(bytes, *delimiter, QuotedLineEnd::kKept, visit);
  checkComplete(scan, file);
  checkIds(file);
  std::stable_sort(file.problems.begin(), file.problems.end(),
                   [](const RowProblem& a, const RowProblem& b) { return a.line < b.line; });
  return file;
}

}  // namespace dabtool
