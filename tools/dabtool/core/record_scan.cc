#include "record_scan.h"

#include <algorithm>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace dabtool {

namespace {

enum class State { kUnquoted, kQuoted, kAfterQuote };

// Walks the bytes once. The states mirror the import's parser: unquoted text,
// quoted text, and a quote just read inside quoted text, which either doubles
// a quote, ends the field, or makes it malformed.
class Scanner {
 public:
  Scanner(std::string_view bytes, char delimiter, const RecordVisitor* visit = nullptr,
          QuotedLineEnd lineEnds = QuotedLineEnd::kBlank, uint64_t wanted = kAllFields)
      : bytes_(bytes), delimiter_(delimiter), visit_(visit), lineEnds_(lineEnds), wanted_(wanted) {
    // Contact files run to a hundred bytes a record or so: room for them all
    // without growing the list, and untouched room costs no memory.
    scan_.records.reserve(bytes.size() / 64);
    for (unsigned char c : {'"', '\r', '\n'}) stops_[c] = kStopsQuoted | kStopsUnquoted;
    stops_[static_cast<unsigned char>(delimiter)] |= kStopsUnquoted;
  }

  RecordScan run() {
    while (pos_ < bytes_.size() && !scan_.malformed) step();
    if (scan_.malformed) return std::move(scan_);
    if (state_ == State::kQuoted) {
      fail(quoteLine_, "a quoted value is never closed (a double quote is missing)");
    } else if (recordStarted_) {
      scan_.trailingData = true;
      scan_.trailingFields = current_.fields + 1;
    }
    return std::move(scan_);
  }

 private:
  // Consumes a line end at pos_ (LF, CR LF or a lone CR); false if none.
  bool lineEnd() {
    char c = bytes_[pos_];
    if (c == '\n') {
      ++pos_;
    } else if (c == '\r') {
      ++pos_;
      if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
    } else {
      return false;
    }
    ++line_;
    return true;
  }

  void startRecordIfNeeded() {
    if (recordStarted_) return;
    recordStarted_ = true;
    current_ = ScannedRecord();
    current_.startLine = line_;
    current_.begin = pos_;
    fieldEmpty_ = true;
    fieldStored_ = false;
    lineEmpty_ = true;
  }

  void endField() {
    bool kept = wanted();
    if (current_.fields == 2) current_.blankDisplayName = fieldEmpty_;
    if (current_.fields == 0) lineEmpty_ = fieldEmpty_;
    ++current_.fields;
    // Each value's storage goes back and forth between value_ and fields_,
    // so a file of any length costs the allocations of its longest record.
    if (visit_) {
      if (fieldsUsed_ == fields_.size()) fields_.emplace_back();
      std::string& field = fields_[fieldsUsed_++];
      if (kept) {
        field.swap(value_);
      } else {
        field.clear();
      }
    }
    value_.clear();
    fieldEmpty_ = true;
    fieldStored_ = false;
  }

  // The import reads each value as a C string: one that starts with a NUL
  // byte is as empty to it as one without bytes, for an empty line and for a
  // blank display name alike.
  void store(char c) {
    if (!fieldStored_) fieldEmpty_ = c == '\0';
    fieldStored_ = true;
  }

  // The value's bytes, wanted only when someone reads the values.
  bool wanted() const {
    return visit_ != nullptr && (wanted_ >> std::min(current_.fields, 63) & 1) != 0;
  }
  void keep(std::string_view bytes) {
    if (wanted()) value_.append(bytes);
  }
  void keep(char c) {
    if (wanted()) value_.push_back(c);
  }

  void endRecord() {
    endField();
    if (current_.fields < 3) current_.blankDisplayName = true;
    current_.endLine = line_ - 1;
    current_.end = pos_;
    // The import passes over an empty line without counting it as a record.
    bool emptyLine = current_.fields == 1 && lineEmpty_;
    if (!emptyLine) scan_.records.push_back(current_);
    if (visit_ && !emptyLine) {
      (*visit_)(static_cast<int>(scan_.records.size()), current_.startLine,
                FieldValues(fields_.data(), fieldsUsed_));
    }
    fieldsUsed_ = 0;
    recordStarted_ = false;
    state_ = State::kUnquoted;
  }

  void fail(int line, const std::string& reason) {
    scan_.malformed = true;
    scan_.malformedRecord = static_cast<int>(scan_.records.size()) + 1;
    scan_.malformedRecordLine = current_.startLine;
    scan_.malformedLine = line;
    scan_.malformedReason = reason;
  }

  // Most bytes are plain text, and a run of them matters only by its first
  // byte: step over the run at once. False when pos_ is at no such byte.
  bool skipPlainRun(unsigned char stopMask) {
    size_t end = plainRunEnd(pos_, stopMask);
    if (end == pos_) return false;
    store(bytes_[pos_]);
    keep(bytes_.substr(pos_, end - pos_));
    pos_ = end;
    return true;
  }

  // The first byte from `from` on that ends a run of plain text.
  size_t plainRunEnd(size_t from, unsigned char stopMask) const {
#ifdef __SSE2__
    // Sixteen bytes at a time; quoted text has no delimiter to stop at, so
    // the quote stands in for it.
    const char delimiter = stopMask == kStopsUnquoted ? delimiter_ : '"';
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i delim = _mm_set1_epi8(delimiter);
    while (from + 16 <= bytes_.size()) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes_.data() + from));
      __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, cr)),
                                   _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, delim)));
      int found = _mm_movemask_epi8(stops);
      if (found != 0) return from + static_cast<size_t>(__builtin_ctz(found));
      from += 16;
    }
#endif
    while (from < bytes_.size() &&
           (stops_[static_cast<unsigned char>(bytes_[from])] & stopMask) == 0) {
      ++from;
    }
    return from;
  }

  // A line end inside quoted text is part of the value; false if none here.
  bool quotedLineEnd() {
    size_t start = pos_;
    if (!lineEnd()) return false;
    store(' ');
    if (lineEnds_ == QuotedLineEnd::kBlank) {
      keep(' ');
    } else {
      keep(bytes_.substr(start, pos_ - start));
    }
    return true;
  }

  void step() {
    startRecordIfNeeded();
    // After a run of plain text comes the byte that ended it, read at once.
    if (state_ != State::kAfterQuote &&
        skipPlainRun(state_ == State::kQuoted ? kStopsQuoted : kStopsUnquoted) &&
        pos_ == bytes_.size()) {
      return;
    }
    char c = bytes_[pos_];
    switch (state_) {
      case State::kUnquoted:
        if (lineEnd()) return endRecord();
        ++pos_;
        if (c == '"') {
          state_ = State::kQuoted;
          quoteLine_ = line_;
        } else if (c == delimiter_) {
          endField();
        } else {
          store(c);
          keep(c);
        }
        return;
      case State::kQuoted:
        if (quotedLineEnd()) return;
        ++pos_;
        if (c == '"') {
          state_ = State::kAfterQuote;
        } else {
          store(c);
          keep(c);
        }
        return;
      case State::kAfterQuote:
        if (lineEnd()) return endRecord();
        ++pos_;
        if (c == '"') {
          state_ = State::kQuoted;
          store(c);
          keep(c);
        } else if (c == delimiter_) {
          state_ = State::kUnquoted;
          endField();
        } else {
          fail(line_,
               "a closing double quote is followed by other text (write a double quote "
               "inside a quoted value as two double quotes)");
        }
        return;
    }
  }

  static constexpr unsigned char kStopsUnquoted = 1;  // ends a run of plain unquoted text
  static constexpr unsigned char kStopsQuoted = 2;    // ends a run of plain quoted text

  const std::string_view bytes_;
  const char delimiter_;
  const RecordVisitor* const visit_;  // null: only the positions are wanted
  const QuotedLineEnd lineEnds_;
  const uint64_t wanted_;            // fields whose values are kept
  std::vector<std::string> fields_;  // values of the record being read...
  size_t fieldsUsed_ = 0;            // ...in its first fieldsUsed_ strings
  std::string value_;                // value of the field being read
  unsigned char stops_[256] = {};
  size_t pos_ = 0;
  int line_ = 1;
  int quoteLine_ = 1;
  State state_ = State::kUnquoted;
  bool recordStarted_ = false;
  bool fieldEmpty_ = true;
  bool fieldStored_ = false;  // the field holds a byte
  bool lineEmpty_ = true;     // the record's first field is empty
  ScannedRecord current_;
  RecordScan scan_;
};

}  // namespace

RecordScan scanRecords(std::string_view bytes, char delimiter) {
  return Scanner(bytes, delimiter).run();
}

RecordScan readRecords(std::string_view bytes, char delimiter, QuotedLineEnd lineEnds,
                       const RecordVisitor& visit, uint64_t wanted) {
  return Scanner(bytes, delimiter, &visit, lineEnds, wanted).run();
}

std::vector<std::string> recordFields(std::string_view bytes, const ScannedRecord& record,
                                      char delimiter) {
  std::vector<std::string> values;
  auto keep = [&values](int, int, const FieldValues& fields) {
    for (size_t i = 0; i < fields.size(); ++i) values.push_back(fields[i]);
  };
  readRecords(bytes.substr(record.begin, record.end - record.begin), delimiter,
              QuotedLineEnd::kBlank, keep);
  return values;
}

std::string recordName(int number) {
  return number == 1 ? "the header row" : "record " + std::to_string(number - 1);
}

std::string describeRecord(const RecordScan& scan, int number) {
  std::string text = recordName(number);
  if (number < 1 || static_cast<size_t>(number) > scan.records.size()) return text;
  const ScannedRecord& record = scan.records[static_cast<size_t>(number) - 1];
  if (record.endLine > record.startLine) {
    return text + " (lines " + std::to_string(record.startLine) + "-" +
           std::to_string(record.endLine) + ")";
  }
  return text + " (line " + std::to_string(record.startLine) + ")";
}

}  // namespace dabtool
