#include "file_kind.h"

#include "errors.h"

namespace dabtool {

namespace {

struct Signature {
  std::string_view magic;
  const char* looksLike;
  const char* whatToDo;
};

const char kSaveAsCsv[] = "open it in its spreadsheet program and save it as CSV (UTF-8)";
const char kExportContacts[] = "export the contacts as CSV or vCard and import that file";

const Signature kSignatures[] = {
    {"PK\x03\x04", "a spreadsheet's own file (.xlsx or .ods, a zip archive)", kSaveAsCsv},
    {std::string_view("\xD0\xCF\x11\xE0", 4), "an older spreadsheet's own file (.xls)", kSaveAsCsv},
    {"%PDF", "a PDF document", kExportContacts},
    {"\x89PNG", "a PNG image", kExportContacts},
    {"\xFF\xD8\xFF", "a JPEG image", kExportContacts},
    {"GIF8", "a GIF image", kExportContacts},
};

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

}  // namespace

void refuseNonText(std::string_view bytes, const std::string& shownName) {
  for (const Signature& signature : kSignatures) {
    if (startsWith(bytes, signature.magic)) {
      throw UnreadableFile(shownName + " looks like " + signature.looksLike +
                           ", not a contact file; " + signature.whatToDo +
                           ". Nothing was imported");
    }
  }
  if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) return;
  // Text has no NUL bytes; a few kilobytes tell.
  if (bytes.substr(0, 4096).find('\0') != std::string_view::npos) {
    throw UnreadableFile(shownName +
                         " looks like binary data, not a contact file; export the contacts as "
                         "CSV or vCard and import that file. Nothing was imported");
  }
}

}  // namespace dabtool
