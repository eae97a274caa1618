#include "import_findings.h"

#include <map>
#include <tuple>

#include "library_facts.h"
#include "text.h"

namespace dabtool {

namespace {

// Doubts first, then refusals, then duplicates; within each, by kind.
using GroupKey = std::tuple<int, int, int>;  // what, kind, limit

// A record's refusal as the log tells it; kNoReason when it tells none.
RecordFinding refusalOf(const ImportLog& log, int record) {
  auto refused = log.refused.find(record);
  return refused == log.refused.end() ? RecordFinding{Finding::kNoReason} : refused->second;
}

std::map<int, const SkippedRecord*> skippedByRecord(const ImportReport& report) {
  std::map<int, const SkippedRecord*> skipped;
  for (const SkippedRecord& duplicate : report.duplicates) skipped[duplicate.record] = &duplicate;
  return skipped;
}

std::string csvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string reasonOf(const ImportReport& report, int record, bool created) {
  std::string reason = created ? "" : findingText(refusalOf(report.log, record));
  auto doubts = report.log.doubts.find(record);
  if (doubts == report.log.doubts.end()) return reason;
  for (const RecordFinding& doubt : doubts->second) {
    reason += (reason.empty() ? "" : "; ") + findingText(doubt);
  }
  return reason;
}

std::string skippedReason(const SkippedRecord& skipped) {
  return skipped.copyOf == 0 ? "already in the book"
                             : "repeats " + recordName(skipped.copyOf) + " of the file";
}

// The placed upload's display names, by the upload's record numbers; empty
// when the placed file is no longer the one the import read. Duplicates
// were cut from it, so its records are the upload's without them.
std::vector<std::string> displayNames(const ImportReport& report, std::string_view placed) {
  char delimiter = importDelimiter(report.request.delimiterName);
  RecordScan cut = scanRecords(placed, delimiter);
  size_t total = report.scan.records.size();
  std::vector<std::string> names(total);
  if (cut.records.size() + report.duplicates.size() != total) return names;
  auto skipped = skippedByRecord(report);
  size_t next = 0;
  for (size_t i = 0; i < total; ++i) {
    auto duplicate = skipped.find(static_cast<int>(i) + 1);
    if (duplicate != skipped.end()) {
      names[i] = duplicate->second->displayName;
      continue;
    }
    std::vector<std::string> fields = recordFields(placed, cut.records[next++], delimiter);
    if (fields.size() > 2) names[i] = fields[2];
  }
  return names;
}

std::string outcomeOf(const ImportReport& report, int record, bool skipped) {
  if (skipped) return "skipped";
  if (record > report.log.parsedRecords) return "not read";
  return report.log.wasCreated(record) ? "created" : "refused";
}

}  // namespace

std::vector<FindingGroup> groupFindings(const ImportReport& report) {
  const ImportLog& log = report.log;
  std::map<GroupKey, FindingGroup> groups;
  auto add = [&groups](FindingGroup::What what, const RecordFinding& finding, int record) {
    FindingGroup& group =
        groups[{static_cast<int>(what), static_cast<int>(finding.kind), finding.limit}];
    group.what = what;
    group.refused = what != FindingGroup::kDoubt;
    group.finding = finding;
    group.records.push_back(record);
  };
  auto skipped = skippedByRecord(report);
  for (int record = 2; record <= log.parsedRecords; ++record) {
    auto duplicate = skipped.find(record);
    if (duplicate != skipped.end()) {
      bool inBook = duplicate->second->copyOf == 0;
      add(inBook ? FindingGroup::kInBook : FindingGroup::kRepeated, {}, record);
      continue;
    }
    if (!log.wasCreated(record)) {
      add(FindingGroup::kRefusal, refusalOf(log, record), record);
      continue;
    }
    auto doubts = log.doubts.find(record);
    if (doubts == log.doubts.end()) continue;
    for (const RecordFinding& doubt : doubts->second) add(FindingGroup::kDoubt, doubt, record);
  }
  std::vector<FindingGroup> ordered;
  for (auto& entry : groups) ordered.push_back(std::move(entry.second));
  return ordered;
}

std::string groupSentence(const ImportReport& report, const FindingGroup& group, size_t shown) {
  bool dryRun = report.request.dryRun;
  size_t count = group.records.size();
  std::string sentence;
  switch (group.what) {
    case FindingGroup::kDoubt:
      sentence = pluralGrouped(static_cast<long>(count), "contact", "contacts") +
                 (dryRun ? " would be created, but " : " created, but ") +
                 findingText(group.finding);
      break;
    case FindingGroup::kRefusal:
      sentence = pluralGrouped(static_cast<long>(count), "record", "records") +
                 (dryRun ? " would not be created: " : " not created: ") +
                 findingText(group.finding);
      break;
    case FindingGroup::kInBook:
    case FindingGroup::kRepeated:
      sentence = pluralGrouped(static_cast<long>(count), "record", "records") +
                 (dryRun ? " would be skipped: " : " skipped: ") +
                 (group.what == FindingGroup::kInBook ? "the contact is already in the book"
                                                      : "it repeats an earlier record of the file");
      break;
  }
  if (shown == 0) return sentence;
  sentence += ": ";
  for (size_t i = 0; i < count && i < shown; ++i) {
    sentence += (i == 0 ? "" : ", ") + describeRecord(report.scan, group.records[i]);
  }
  if (count > shown) {
    sentence += " and " + pluralGrouped(static_cast<long>(count - shown), "more", "more");
  }
  return sentence;
}

std::string recordReportCsv(const ImportReport& report, std::string_view upload) {
  std::string csv = "Record,Line,Display name,Outcome,Reason\r\n";
  const std::vector<ScannedRecord>& records = report.scan.records;
  std::vector<std::string> names = displayNames(report, upload);
  auto skipped = skippedByRecord(report);
  for (size_t i = 1; i < records.size(); ++i) {
    int record = static_cast<int>(i) + 1;
    auto duplicate = skipped.find(record);
    bool isSkipped = duplicate != skipped.end();
    std::string outcome = outcomeOf(report, record, isSkipped);
    std::string reason = isSkipped               ? skippedReason(*duplicate->second)
                         : outcome == "not read" ? ""
                                                 : reasonOf(report, record, outcome == "created");
    csv += std::to_string(i) + "," + std::to_string(records[i].startLine) + "," +
           csvCell(names[i]) + "," + outcome + "," + csvCell(reason) + "\r\n";
  }
  return csv;
}

}  // namespace dabtool
