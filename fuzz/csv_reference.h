// Independent readers of the two CSV dialects, written for the fuzz targets
// to compare the library against. They share no code with the library and
// favour plainness over speed.
#ifndef DABUTILS_FUZZ_CSV_REFERENCE_H_
#define DABUTILS_FUZZ_CSV_REFERENCE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dabfuzz {

// Results of reading one field of an upload, numbered as the parser numbers
// them.
enum { kEndOfField = 4, kEndOfRecord = 6, kEndOfFile = 7, kError = 8 };

struct RefField {
  int result;
  std::string value;  // Bytes as stored, NULs included, at most kMaxValue.
};

constexpr size_t kMaxValue = 1023;

// Length of the line end at `at` (LF, CR LF or a lone CR), 0 when none.
inline size_t lineEndAt(std::string_view in, size_t at) {
  if (at >= in.size()) return 0;
  if (in[at] == '\n') return 1;
  if (in[at] != '\r') return 0;
  return at + 1 < in.size() && in[at + 1] == '\n' ? 2 : 1;
}

// Every field of an upload in order, up to and including the one that ends
// it (kEndOfFile or kError). Upload rules: a double quote anywhere opens
// quoted text and is not stored; inside it the delimiter is data, "" is one
// quote and each line end is one blank; after the closing quote only the
// delimiter, a line end or the end of the file may follow. A field that the
// end of the file cuts short outside quoted text is dropped. Values keep
// their first kMaxValue bytes.
inline std::vector<RefField> uploadFields(std::string_view in, char delimiter) {
  std::vector<RefField> fields;
  size_t i = 0;
  for (;;) {
    std::string value;
    bool quoted = false;
    int result = 0;
    while (result == 0) {
      if (i == in.size()) {
        result = quoted ? kError : kEndOfFile;
        if (!quoted) value.clear();
        break;
      }
      char c = in[i];
      size_t lineEnd = lineEndAt(in, i);
      if (!quoted) {
        if (c == '"') {
          quoted = true;
          ++i;
        } else if (c == delimiter) {
          ++i;
          result = kEndOfField;
        } else if (lineEnd != 0) {
          i += lineEnd;
          result = kEndOfRecord;
        } else {
          value += c;
          ++i;
        }
        continue;
      }
      if (lineEnd != 0) {
        value += ' ';
        i += lineEnd;
      } else if (c != '"') {
        value += c;
        ++i;
      } else if (++i == in.size()) {
        value.clear();
        result = kEndOfFile;
      } else if (in[i] == '"') {
        value += '"';
        ++i;
      } else if (in[i] == delimiter) {
        ++i;
        result = kEndOfField;
      } else if (lineEndAt(in, i) != 0) {
        i += lineEndAt(in, i);
        result = kEndOfRecord;
      } else {
        result = kError;
      }
    }
    if (value.size() > kMaxValue) value.resize(kMaxValue);
    fields.push_back({result, value});
    if (result == kEndOfFile || result == kError) return fields;
  }
}

// The value as a C string sees it: up to its first NUL.
inline std::string cText(const std::string& value) { return std::string(value.c_str()); }

// Reads an export file back into records of cells. Export rules: records end
// in CR LF; a double quote toggles quoted text, inside which "" is one quote
// and the delimiter and line ends are data. Returns false, with the reason,
// when a line end outside quoted text is not CR LF, when quoted text is left
// open, or when bytes follow the last CR LF.
inline bool exportRecords(std::string_view in, char delimiter,
                          std::vector<std::vector<std::string>>* records, std::string* why) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (quoted) {
      if (c != '"') {
        cells.back() += c;
      } else if (i + 1 < in.size() && in[i + 1] == '"') {
        cells.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == delimiter) {
      cells.emplace_back();
    } else if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n') {
      records->push_back(cells);
      cells.assign(1, std::string());
      ++i;
    } else if (c == '\r' || c == '\n') {
      *why = "a line end other than CR LF outside quotes at byte " + std::to_string(i);
      return false;
    } else {
      cells.back() += c;
    }
  }
  if (quoted) {
    *why = "quoted text left open";
    return false;
  }
  if (cells.size() != 1 || !cells[0].empty()) {
    *why = "bytes after the last CR LF";
    return false;
  }
  return true;
}

}  // namespace dabfuzz

#endif  // DABUTILS_FUZZ_CSV_REFERENCE_H_
