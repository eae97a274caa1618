#include "import_findings.h"

#include <map>
#include <tuple>

#include "library_facts.h"
#include "text.h"

namespace dabtool {

namespace {

using GroupKey = std::tuple<bool, int, int>;  // refused, kind, limit

GroupKey keyOf(bool refused, const RecordFinding& finding) {
  return {refused, static_cast<int>(finding.kind), finding.limit};
}

// A record's refusal as the log tells it; kNoReason when it tells none.
RecordFinding refusalOf(const ImportLog& log, int record) {
  auto refused = log.refused.find(record);
  return refused == log.refused.end() ? RecordFinding{Finding::kNoReason} : refused->second;
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

bool sameRecords(const RecordScan& a, const RecordScan& b) {
  if (a.records.size() != b.records.size()) return false;
  for (size_t i = 0; i < a.records.size(); ++i) {
    if (a.records[i].start != b.records[i].start) return false;
  }
  return true;
}

}  // namespace

std::vector<FindingGroup> groupFindings(const ImportReport& report) {
  const ImportLog& log = report.log;
  std::map<GroupKey, FindingGroup> groups;
  auto add = [&groups](bool refused, const RecordFinding& finding, int record) {
    FindingGroup& group = groups[keyOf(refused, finding)];
    group.refused = refused;
    group.finding = finding;
    group.records.push_back(record);
  };
  for (int record = 2; record <= log.parsedRecords; ++record) {
    if (!log.wasCreated(record)) add(true, refusalOf(log, record), record);
    auto doubts = log.doubts.find(record);
    if (doubts == log.doubts.end() || !log.wasCreated(record)) continue;
    for (const RecordFinding& doubt : doubts->second) add(false, doubt, record);
  }
  std::vector<FindingGroup> ordered;
  for (auto& entry : groups) ordered.push_back(std::move(entry.second));
  return ordered;
}

std::string groupSentence(const ImportReport& report, const FindingGroup& group, size_t shown) {
  bool dryRun = report.request.dryRun;
  size_t count = group.records.size();
  std::string sentence = group.refused
                             ? pluralGrouped(static_cast<long>(count), "record", "records") +
                                   (dryRun ? " would not be created: " : " not created: ")
                             : pluralGrouped(static_cast<long>(count), "contact", "contacts") +
                                   (dryRun ? " would be created, but " : " created, but ");
  sentence += findingText(group.finding);
  if (shown == 0) return sentence;
  sentence += ": ";
  for (size_t i = 0; i < count && i < shown; ++i) {
    sentence += (i == 0 ? "" : ", ") + describeRecord(report.scan, group.records[i]);
  }
  if (count > shown)
    sentence += " and " + pluralGrouped(static_cast<long>(count - shown), "more", "more");
  return sentence;
}

std::string recordReportCsv(const ImportReport& report, std::string_view upload) {
  std::string csv = "Record,Line,Display name,Outcome,Reason\r\n";
  const std::vector<ScannedRecord>& records = report.scan.records;
  char delimiter = importDelimiter(report.request.delimiterName);
  bool sameUpload = sameRecords(scanRecords(upload, delimiter), report.scan);
  for (size_t i = 1; i < records.size(); ++i) {
    int record = static_cast<int>(i) + 1;
    bool read = record <= report.log.parsedRecords;
    bool created = report.log.wasCreated(record);
    std::string name;
    if (sameUpload) {
      std::vector<std::string> fields = recordFields(upload, records[i], delimiter);
      if (fields.size() > 2) name = fields[2];
    }
    csv += std::to_string(i) + "," + std::to_string(records[i].startLine) + "," + csvCell(name) +
           "," +
           (!read     ? "not read"
            : created ? "created"
                      : "refused") +
           "," + csvCell(read ? reasonOf(report, record, created) : "") + "\r\n";
  }
  return csv;
}

}  // namespace dabtool
