#include "duplicates.h"

#include <unordered_map>

#include "entry_text.h"
#include "record_scan.h"

namespace dabtool {

namespace {

constexpr size_t kDisplayNameColumn = 2;
constexpr size_t kEmailColumn = 4;
// The import keeps at most this many bytes of a value, up to its first NUL.
constexpr size_t kLibraryValueBytes = 1023;

std::string_view asStored(const std::string& value) {
  std::string_view stored(value);
  stored = stored.substr(0, stored.find('\0'));
  return stored.substr(0, kLibraryValueBytes);
}

std::string cutBytes(std::string_view upload, const RecordScan& scan,
                     const std::vector<SkippedRecord>& skipped) {
  std::string bytes;
  bytes.reserve(upload.size());
  size_t from = 0;
  for (const SkippedRecord& record : skipped) {
    const ScannedRecord& range = scan.records[static_cast<size_t>(record.record) - 1];
    bytes.append(upload.substr(from, range.begin - from));
    from = range.end;
  }
  bytes.append(upload.substr(from));
  return bytes;
}

}  // namespace

DuplicateCut cutDuplicates(std::string_view upload, char delimiter,
                           const std::vector<BookEntry>& book) {
  std::unordered_map<std::string, int> known;  // key -> record that made it; 0: the book
  for (const BookEntry& entry : book) {
    if (entry.dlType == 0) known.emplace(sameContactKey(entry.displayName, entry.email), 0);
  }
  DuplicateCut cut;
  cut.kept.push_back(0);
  auto visit = [&](int number, int, const std::vector<std::string>& fields) {
    bool contact = number > 1 && fields.size() > kDisplayNameColumn &&
                   !asStored(fields[kDisplayNameColumn]).empty();
    if (contact) {
      std::string_view name = asStored(fields[kDisplayNameColumn]);
      std::string_view email = fields.size() > kEmailColumn ? asStored(fields[kEmailColumn]) : "";
      auto [at, fresh] = known.emplace(sameContactKey(name, email), number);
      if (!fresh) {
        cut.skipped.push_back({number, std::string(name), at->second});
        return;
      }
    }
    cut.kept.push_back(number);
  };
  RecordScan scan = readRecords(upload, delimiter, QuotedLineEnd::kBlank, visit);
  cut.records = static_cast<int>(scan.records.size());
  if (!cut.skipped.empty()) cut.bytes = cutBytes(upload, scan, cut.skipped);
  return cut;
}

ImportLog renumbered(const ImportLog& log, const DuplicateCut& cut) {
  int cutRecords = static_cast<int>(cut.kept.size()) - 1;
  // Records past the cut's last completed one were never counted by either.
  auto original = [&](int n) {
    return n >= 0 && n <= cutRecords ? cut.kept[static_cast<size_t>(n)]
                                     : cut.records + n - cutRecords;
  };
  ImportLog out = log;
  out.parsedRecords = log.parsedRecords >= cutRecords ? cut.records + log.parsedRecords - cutRecords
                                                      : original(log.parsedRecords + 1) - 1;
  out.stoppedAtRecord = log.stoppedAtRecord == 0 ? 0 : original(log.stoppedAtRecord);
  out.created.assign(static_cast<size_t>(cut.records) + 1, false);
  for (size_t n = 0; n < log.created.size(); ++n) {
    size_t at = static_cast<size_t>(original(static_cast<int>(n)));
    if (!log.created[n]) continue;
    if (at >= out.created.size()) out.created.resize(at + 1, false);
    out.created[at] = true;
  }
  out.refused.clear();
  for (const auto& [n, finding] : log.refused) out.refused.emplace(original(n), finding);
  out.doubts.clear();
  for (const auto& [n, findings] : log.doubts) out.doubts.emplace(original(n), findings);
  return out;
}

std::string skippedText(const SkippedRecord& skipped, bool dryRun) {
  std::string where = skipped.copyOf == 0 ? "is already in the book"
                                          : "repeats record " + std::to_string(skipped.copyOf);
  return std::string(dryRun ? "would be skipped: " : "skipped: ") + skipped.displayName + " " +
         where;
}

}  // namespace dabtool
