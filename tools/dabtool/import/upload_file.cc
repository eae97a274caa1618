#include "upload_file.h"

#include <cstdint>
#include <utility>

#include "errors.h"
#include "text.h"

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

}  // namespace

PreparedUpload prepareUpload(std::string_view original, const std::string& shownName) {
  PreparedUpload upload;
  upload.original_ = original;
  if (startsWith(original, "\xFF\xFE") || startsWith(original, "\xFE\xFF")) {
    bool bigEndian = original[0] == '\xFE';
    upload.converted_ = utf16ToUtf8(original, bigEndian, shownName);
    upload.changes.push_back(std::string("converted it from UTF-16 (") +
                             (bigEndian ? "big" : "little") +
                             "-endian, with a byte-order mark) to UTF-8");
  } else if (startsWith(original, "\xEF\xBB\xBF")) {
    upload.changes.push_back(
        "left its UTF-8 byte-order mark in place (it only touches the header row)");
  }
  std::string_view bytes = upload.bytes();
  size_t bad = firstInvalidUtf8(bytes);
  if (bad != std::string_view::npos) {
    upload.warnings.push_back(shownName + " is not valid UTF-8 from line " +
                              std::to_string(lineAt(bytes, bad)) +
                              " on; its text was imported byte for byte and may show wrongly "
                              "(save the file as UTF-8 to avoid this)");
  }
  if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') {
    const char* lineEnd = lineEndOf(bytes);
    if (!upload.converted_) upload.converted_ = std::string(original);
    *upload.converted_ += lineEnd;
    upload.changes.push_back(
        "added a line end after its last line, which had none, so that "
        "its last record is not lost");
  }
  return upload;
}

}  // namespace dabtool
