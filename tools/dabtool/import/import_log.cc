#include "import_log.h"

#include <utility>

namespace dabtool {

namespace {

constexpr int kProgressEvery = 512;

}  // namespace

std::string findingText(const RecordFinding& finding) {
  std::string limit = std::to_string(finding.limit);
  switch (finding.kind) {
    case Finding::kRefusedByBook:
      return "the address book refused it";
    case Finding::kNoDisplayNameField:
      return "it has fewer than 3 columns, so no display name";
    case Finding::kDisplayNameBlank:
      return "the display name (column 3) is empty";
    case Finding::kEmailTooLong:
      return "the e-mail address (column 5) is longer than " + limit + " bytes";
    case Finding::kIfaxTooLong:
      return "the internet-fax address (column 6) is longer than " + limit + " bytes";
    case Finding::kHeaderSkipsFirst:
      return "the header row's third column is empty, and the import then skips the first "
             "data row";
    case Finding::kNoReason:
      return "the library gave no reason";
    case Finding::kEmailDoubtful:
      return "the e-mail address (column 5) contains a blank or a non-ASCII character";
    case Finding::kIfaxDoubtful:
      return "the internet-fax address (column 6) contains a blank or a non-ASCII character";
    case Finding::kFirstNameTooLong:
      return "the first name (column 1) is longer than " + limit + " characters";
    case Finding::kLastNameTooLong:
      return "the last name (column 2) is longer than " + limit + " characters";
    case Finding::kDisplayNameTooLong:
      return "the display name (column 3) is longer than " + limit + " characters";
    case Finding::kCompanyTooLong:
      return "the company (column 4) is longer than " + limit + " characters";
    case Finding::kNameOverBuffer:
      return "a name is longer than " + limit + " bytes and was left empty";
  }
  return "the library gave no reason";
}

void ImportLogReader::heard(LibraryLine line, va_list args) {
  switch (line) {
    case LibraryLine::kRecordParsed:
      log_.parsedRecords = va_arg(args, int);
      current_ = log_.parsedRecords;
      closing_ = true;
      lastFieldPending_ = true;
      if (progress_ && log_.parsedRecords % kProgressEvery == 0) progress_(log_.parsedRecords - 1);
      return;
    case LibraryLine::kFieldValue:
      return fieldStarts();
    case LibraryLine::kContactAdded:
      if (log_.created.size() <= static_cast<size_t>(current_)) {
        log_.created.resize(static_cast<size_t>(current_) + 1);
      }
      log_.created[current_] = true;
      ++log_.createdCount;
      return;
    case LibraryLine::kContactNotAdded:
      log_.refused[va_arg(args, int)] = {Finding::kRefusedByBook};
      return;
    case LibraryLine::kNoDisplayNameField:
      log_.refused[va_arg(args, int)] = {Finding::kNoDisplayNameField};
      return;
    case LibraryLine::kParseError:
      log_.parseError = true;
      log_.stoppedAtRecord = closing_ ? log_.parsedRecords + 1 : current_;
      return;
    case LibraryLine::kMalformedString:
      log_.malformedString = true;
      return;
    case LibraryLine::kTooFewRecords:
      log_.tooFewRecords = true;
      return;
    case LibraryLine::kUploadNotOpened:
      log_.fileNotOpened = true;
      return;
    case LibraryLine::kImportNotConnected:
      log_.notConnected = true;
      return;
    default:
      return noteFieldProblem(line, args);
  }
}

// The library checks a record's last field after its line end was read, so
// the first field checked after that line belongs to the same record and
// the next one starts the following record.
void ImportLogReader::fieldStarts() {
  if (lastFieldPending_) {
    lastFieldPending_ = false;
  } else if (closing_) {
    current_ = log_.parsedRecords + 1;
    closing_ = false;
  }
}

void ImportLogReader::noteFieldProblem(LibraryLine line, va_list args) {
  // The header row's titles pass the same checks; only its blank display
  // name matters, since it makes the import skip the first data row.
  if (line == LibraryLine::kDisplayNameBlank) {
    if (current_ == 1) {
      log_.headerDisplayNameBlank = true;
    } else {
      log_.refused[current_] = {Finding::kDisplayNameBlank};
    }
    return;
  }
  if (current_ == 1) return;
  switch (line) {
    case LibraryLine::kEmailTooLong:
      log_.refused[current_] = {Finding::kEmailTooLong, va_arg(args, int)};
      return;
    case LibraryLine::kIfaxTooLong:
      log_.refused[current_] = {Finding::kIfaxTooLong, va_arg(args, int)};
      return;
    case LibraryLine::kEmailIllegal:
      log_.doubts[current_].push_back({Finding::kEmailDoubtful});
      return;
    case LibraryLine::kIfaxIllegal:
      log_.doubts[current_].push_back({Finding::kIfaxDoubtful});
      return;
    case LibraryLine::kFirstNameTooLong:
      log_.doubts[current_].push_back({Finding::kFirstNameTooLong, va_arg(args, int)});
      return;
    case LibraryLine::kLastNameTooLong:
      log_.doubts[current_].push_back({Finding::kLastNameTooLong, va_arg(args, int)});
      return;
    case LibraryLine::kDisplayNameTooLong:
      log_.doubts[current_].push_back({Finding::kDisplayNameTooLong, va_arg(args, int)});
      return;
    case LibraryLine::kCompanyTooLong:
      log_.doubts[current_].push_back({Finding::kCompanyTooLong, va_arg(args, int)});
      return;
    case LibraryLine::kNameOverBuffer:
      log_.doubts[current_].push_back({Finding::kNameOverBuffer, va_arg(args, int)});
      return;
    default:
      return;
  }
}

ImportLog ImportLogReader::finish() {
  if (log_.headerDisplayNameBlank && log_.parsedRecords >= 2 && !log_.wasCreated(2) &&
      log_.refused.count(2) == 0) {
    log_.refused[2] = {Finding::kHeaderSkipsFirst};
  }
  return std::move(log_);
}

}  // namespace dabtool
