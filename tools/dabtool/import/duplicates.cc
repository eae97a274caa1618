#include "duplicates.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

constexpr uint64_t kValuesWanted = uint64_t{1} << kDisplayNameColumn | uint64_t{1} << kEmailColumn;

// The display name and e-mail address of a record the library would make a
// contact of; false for the header row and a record without a name.
bool contactValues(int number, const FieldValues& fields, std::string_view* name,
                   std::string_view* email) {
  if (number < 2 || fields.size() <= kDisplayNameColumn) return false;
  *name = asStored(fields[kDisplayNameColumn]);
  *email = fields.size() > kEmailColumn ? asStored(fields[kEmailColumn]) : "";
  return !name->empty();
}

// Up to eight bytes of `text` from `at` as one number, A-Z made a-z (the
// bytes of other characters as they are).
uint64_t foldedWord(std::string_view text, size_t at) {
  uint64_t word = 0;
  std::memcpy(&word, text.data() + at, std::min<size_t>(8, text.size() - at));
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  uint64_t low = word & ~kHigh;  // each byte's low seven bits: no carry between bytes below
  uint64_t fromA = low + 0x3F3F3F3F3F3F3F3Full;     // high bit set from 'A' (0x41) on
  uint64_t pastZ = low + 0x2525252525252525ull;     // high bit set from '[' (0x5B) on
  uint64_t upper = fromA & ~pastZ & ~word & kHigh;  // ASCII bytes from 'A' to 'Z'
  return word | upper >> 2;
}

uint64_t mixed(uint64_t hash, uint64_t word) {
  hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
  return hash ^ hash >> 32;
}

// A hash of sameContactKey, without building it, eight bytes at a time: a
// file of 65,000 records is compared by numbers, and only records whose
// numbers meet are compared by their texts.
uint64_t keyHash(std::string_view name, std::string_view email) {
  uint64_t hash = mixed(name.size(), email.size());
  for (size_t at = 0; at < name.size(); at += 8) hash = mixed(hash, foldedWord(name, at));
  for (size_t at = 0; at < email.size(); at += 8) hash = mixed(hash, foldedWord(email, at));
  return hash;
}

// sameContactKey of one record of the upload, read again on its own, and
// its display name in `displayName` when that is not null.
std::string recordKey(std::string_view upload, char delimiter, const ScannedRecord& record,
                      std::string* displayName = nullptr) {
  std::string key;
  auto visit = [&](int, int, const FieldValues& fields) {
    std::string_view name, email;
    if (!contactValues(2, fields, &name, &email)) return;
    key = sameContactKey(name, email);
    if (displayName) *displayName = std::string(name);
  };
  readRecords(upload.substr(record.begin, record.end - record.begin), delimiter,
              QuotedLineEnd::kBlank, visit, kValuesWanted);
  return key;
}

// Hash -> the first holder of it, with open addressing: 65,000 keys cost
// one allocation instead of one each.
class FirstHolders {
 public:
  explicit FirstHolders(size_t keys) {
    while ((size_t{1} << bits_) < keys * 2) ++bits_;
    slots_.resize(size_t{1} << bits_);
  }

  // The holder of `hash` and false when it has one; else `holder` takes it.
  std::pair<int, bool> claim(uint64_t hash, int holder) {
    size_t mask = slots_.size() - 1;
    // The product's top bits depend on every bit of the hash.
    for (size_t i = (hash * 0x9E3779B97F4A7C15ull) >> (64 - bits_);; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (!slot.used) {
        slot = {hash, holder, true};
        return {holder, true};
      }
      if (slot.hash == hash) return {slot.holder, false};
    }
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    int holder = 0;
    bool used = false;
  };
  int bits_ = 4;
  std::vector<Slot> slots_;
};

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

std::vector<RecordKey> readRecordKeys(std::string_view upload, char delimiter, RecordScan* scan) {
  std::vector<RecordKey> keys;
  keys.reserve(upload.size() / 64);
  auto visit = [&keys](int number, int, const FieldValues& fields) {
    std::string_view name, email;
    if (contactValues(number, fields, &name, &email))
      keys.push_back({number, keyHash(name, email)});
  };
  *scan = readRecords(upload, delimiter, QuotedLineEnd::kBlank, visit, kValuesWanted);
  return keys;
}

DuplicateCut cutDuplicates(std::string_view upload, char delimiter, const RecordScan& scan,
                           const std::vector<RecordKey>& keys, const std::vector<BookEntry>& book) {
  // Hash -> the first record with it, or -(1 + its index) for an entry of the book.
  FirstHolders first(book.size() + keys.size());
  for (size_t i = 0; i < book.size(); ++i) {
    if (book[i].dlType != 0) continue;
    first.claim(keyHash(book[i].displayName, book[i].email), -1 - static_cast<int>(i));
  }
  DuplicateCut cut;
  cut.records = static_cast<int>(scan.records.size());
  auto keyOf = [&](int number, std::string* name = nullptr) {
    return recordKey(upload, delimiter, scan.records[static_cast<size_t>(number) - 1], name);
  };
  for (const RecordKey& key : keys) {
    auto [holder, fresh] = first.claim(key.hash, key.record);
    if (fresh) continue;
    const BookEntry* entry = holder < 0 ? &book[static_cast<size_t>(-1 - holder)] : nullptr;
    std::string name;
    std::string own = keyOf(key.record, &name);
    if (own != (entry ? sameContactKey(entry->displayName, entry->email) : keyOf(holder))) {
      continue;  // the same number by chance
    }
    cut.skipped.push_back({key.record, name, entry ? 0 : holder});
  }
  cut.kept.push_back(0);
  size_t next = 0;
  for (int number = 1; number <= cut.records; ++number) {
    if (next < cut.skipped.size() && cut.skipped[next].record == number) {
      ++next;
    } else {
      cut.kept.push_back(number);
    }
  }
  if (!cut.skipped.empty()) cut.bytes = cutBytes(upload, scan, cut.skipped);
  return cut;
}

DuplicateCut cutDuplicates(std::string_view upload, char delimiter,
                           const std::vector<BookEntry>& book) {
  RecordScan scan;
  std::vector<RecordKey> keys = readRecordKeys(upload, delimiter, &scan);
  return cutDuplicates(upload, delimiter, scan, keys, book);
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
  std::string where =
      skipped.copyOf == 0 ? "is already in the book" : "repeats " + recordName(skipped.copyOf);
  return std::string(dryRun ? "would be skipped: " : "skipped: ") + skipped.displayName + " " +
         where;
}

}  // namespace dabtool
