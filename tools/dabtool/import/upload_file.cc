#include "upload_file.h"

#include <cstdint>
#include <utility>

#include "column_map.h"
#include "csv_rows.h"
#include "errors.h"
#include "file_kind.h"
#include "six_columns.h"
#include "text.h"
#include "text_encoding.h"
#include "vcard_reader.h"

namespace dabtool {

namespace {

// Converts UTF-16 after its byte-order mark to UTF-8 without a mark.
std::string utf16ToUtf8(std::string_view in, bool bigEndian, const std::string& shownName) {
  if (in.size() % 2 != 0) {
    throw UnreadableFile(
        shownName +
        " starts like UTF-16 but has an odd number of bytes; save it again as UTF-8 or UTF-16");
  }
  auto unit = [&](size_t i) {
    auto hi = static_cast<unsigned char>(in[bigEndian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(in[bigEndian ? i + 1 : i]);
    return static_cast<uint32_t>(hi << 8 | lo);
  };
  std::string out;
  out.reserve(in.size() / 2);
  for (size_t i = 2; i < in.size(); i += 2) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 3 < in.size()) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) {
      throw UnreadableFile(shownName + " is not valid UTF-16 (a broken character on line " +
                           std::to_string(lineAt(out, out.size())) + "); save it again as UTF-8");
    }
    appendUtf8(out, code);
  }
  return out;
}

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// The file's own line end, so an added one matches the others.
const char* lineEndOf(std::string_view bytes) {
  size_t at = bytes.find_first_of("\r\n");
  if (at == std::string_view::npos || bytes[at] == '\n') return "\n";
  return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? "\r\n" : "\r";
}

bool isGroupRow(const ColumnMap& map, const std::vector<std::string>& row) {
  auto cell = [&](int column) {
    return column >= 0 && static_cast<size_t>(column) < row.size()
               ? trimmed(row[static_cast<size_t>(column)])
               : std::string();
  };
  std::string kind = cell(map.kindColumn);
  return (!kind.empty() && kind != "0") || !cell(map.workflowColumn).empty();
}

// A map that takes the first six columns by position.
ColumnMap positionalMap(const std::vector<std::string>& header) {
  ColumnMap map;
  map.header = header;
  for (int field = 0; field < kFieldCount; ++field) {
    if (static_cast<size_t>(field) < header.size()) map.source[static_cast<size_t>(field)] = field;
  }
  return map;
}

}  // namespace

// The steps of prepareUpload, each on the upload as the one before left it.
class UploadPreparation {
 public:
  UploadPreparation(std::string_view original, const std::string& shownName,
                    const ReadingOptions& options)
      : shown_(shownName), options_(options) {
    upload_.original_ = original;
  }

  PreparedUpload run() {
    refuseNonText(upload_.original_, shown_);
    decode();
    std::string_view text = upload_.bytes();
    if (!options_.positional && isVCardFile(text)) {
      readVCardFile(text);
    } else {
      readCsv(text);
    }
    if (upload_.reading.asIs) addFinalLineEnd();
    return std::move(upload_);
  }

 private:
  void decode() {
    std::string_view original = upload_.original_;
    UploadReading& reading = upload_.reading;
    if (startsWith(original, "\xFF\xFE") || startsWith(original, "\xFE\xFF")) {
      bool bigEndian = original[0] == '\xFE';
      upload_.converted_ = utf16ToUtf8(original, bigEndian, shown_);
      reading.encoding = std::string("UTF-16, ") + (bigEndian ? "big" : "little") + "-endian";
      upload_.changes.push_back(std::string("converted it from UTF-16 (") +
                                (bigEndian ? "big" : "little") +
                                "-endian, with a byte-order mark) to UTF-8");
      return;
    }
    if (!options_.encoding.empty()) {
      upload_.converted_ = convertToUtf8(original, options_.encoding, shown_);
      reading.encoding = options_.encoding + " as named";
      upload_.changes.push_back("converted it from " + options_.encoding + " to UTF-8");
      return;
    }
    if (startsWith(original, "\xEF\xBB\xBF")) {
      upload_.changes.push_back(
          "left its UTF-8 byte-order mark in place (it only touches the header row)");
    }
    size_t bad = firstInvalidUtf8(original);
    if (bad == std::string_view::npos) return;
    std::string detected = detectEncoding(original);
    if (detected.empty() || detected == "UTF-8" || detected == "ASCII") {
      throw UnreadableFile(shown_ + " is not valid UTF-8 (line " +
                           std::to_string(lineAt(original, bad)) +
                           " holds bytes that are no UTF-8 character) and no other encoding "
                           "explains it; save it as UTF-8, or name its encoding with --encoding. "
                           "Nothing was imported");
    }
    upload_.converted_ = convertToUtf8(original, detected, shown_);
    reading.encoding = detected + ", detected";
    upload_.changes.push_back("converted it from " + detected + " (detected) to UTF-8");
  }

  void readVCardFile(std::string_view text) {
    SixColumnWriter writer({0, 0});
    for (const VCard& card : readVCards(text, shown_)) {
      writer.add(card.fields, card.startLine, card.endLine);
    }
    UploadReading& reading = upload_.reading;
    reading.format = "vCard";
    reading.columns = {"N (given name)", "N (family name)", "FN", "ORG", "EMAIL"};
    reading.source = {{0, 1, 2, 3, 4, -1}};
    adopt(writer.finish());
  }

  void readCsv(std::string_view text) {
    UploadReading& reading = upload_.reading;
    char delimiter = options_.delimiterGiven ? options_.delimiter : guessDelimiter(text);
    reading.delimiter = delimiter;
    reading.delimiterFound = !options_.delimiterGiven;
    std::vector<std::string> first;
    try {
      CsvRows rows(text, delimiter);
      if (!rows.next(first, shown_)) {
        reading.format = "an empty file";
        return;
      }
    } catch (const UnreadableFile&) {
      // The library names the bad field and its line better than a guess at
      // the columns would.
      reading.format = "CSV whose header row cannot be read";
      return;
    }
    ColumnMap map =
        options_.positional ? positionalMap(first) : mapColumns(first, options_.columns, shown_);
    bool byPosition =
        options_.positional ||
        (options_.columns.empty() && !map.headerless &&
         (map.format == KnownFormat::kLibrary || (!map.usable() && first.size() == kFieldCount)));
    reading.format = map.headerless ? "CSV without a header row"
                     : byPosition && map.format != KnownFormat::kLibrary
                         ? "CSV with its columns taken by position"
                         : formatText(map.format);
    describe(byPosition ? positionalMap(first) : map);
    if (byPosition && delimiter != '\t') return;
    if (!byPosition && !map.usable()) {
      throw UnmappedColumns(unknownHeaderSentence(map, shown_), upload_.reading);
    }
    convertRows(text, byPosition ? positionalMap(first) : map, delimiter);
  }

  void describe(const ColumnMap& map) {
    UploadReading& reading = upload_.reading;
    reading.headerless = map.headerless;
    reading.columns = map.header;
    reading.source = map.source;
    reading.chosen = map.chosen;
    for (int column : map.notImported()) {
      reading.notImported.push_back(map.header[static_cast<size_t>(column)]);
    }
  }

  void convertRows(std::string_view text, const ColumnMap& map, char delimiter) {
    CsvRows rows(text, delimiter);
    std::vector<std::string> row;
    std::pair<int, int> headerLines{0, 0};
    if (!map.headerless && rows.next(row, shown_)) headerLines = {rows.startLine(), rows.endLine()};
    SixColumnWriter writer(headerLines);
    UploadReading& reading = upload_.reading;
    while (rows.next(row, shown_)) {
      if (blankRow(row)) continue;
      if (map.labelColumn >= 0 && row[0] == "ZltDataValueOptions") {
        ++reading.descriptionsLeftOut;
      } else if (isGroupRow(map, row)) {
        ++reading.groupsLeftOut;
      } else {
        writer.add(map.contactOf(row), rows.startLine(), rows.endLine());
      }
    }
    adopt(writer.finish());
  }

  void adopt(SixColumnUpload written) {
    UploadReading& reading = upload_.reading;
    reading.asIs = false;
    reading.contacts = written.contacts;
    reading.builtDisplayNames = written.builtDisplayNames;
    reading.preview = std::move(written.preview);
    reading.sourceLines = std::move(written.sourceLines);
    upload_.converted_ = std::move(written.bytes);
    upload_.changes.push_back("wrote its contacts in the import's six columns");
  }

  void addFinalLineEnd() {
    std::string_view bytes = upload_.bytes();
    if (bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r') return;
    const char* lineEnd = lineEndOf(bytes);
    if (!upload_.converted_) upload_.converted_ = std::string(upload_.original_);
    *upload_.converted_ += lineEnd;
    upload_.changes.push_back(
        "added a line end after its last line, which had none, so that "
        "its last record is not lost");
  }

  PreparedUpload upload_;
  const std::string& shown_;
  const ReadingOptions& options_;
};

std::string PreparedUpload::libraryDelimiter(const std::string& given, bool delimiterGiven) const {
  if (!reading.asIs) return "Comma";
  if (delimiterGiven) return given;
  return reading.delimiter == ';' ? "Semicolon" : "Comma";
}

bool surelyRewritten(std::string_view original, const ReadingOptions& options) {
  return startsWith(original, "\xFF\xFE") || startsWith(original, "\xFE\xFF") ||
         !options.encoding.empty() || (!options.positional && isVCardFile(original));
}

PreparedUpload prepareUpload(std::string_view original, const std::string& shownName,
                             const ReadingOptions& options) {
  return UploadPreparation(original, shownName, options).run();
}

}  // namespace dabtool
