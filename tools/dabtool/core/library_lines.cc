#include "library_lines.h"

#include <cstdint>
#include <cstring>

namespace dabtool {

namespace {

struct KnownLine {
  const char* format;
  LibraryLine line;
};

// The library's own texts, byte for byte. A change to one of them in the
// library shows as a failing contract test, not as a silently wrong report.
const KnownLine kKnownLines[] = {
    {"Cannot get the list of contact from Database", LibraryLine::kExportListFailed},
    {"Failed to open HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE", LibraryLine::kExportNotOpened},
    {"Failed to open HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE", LibraryLine::kExportNotOpened},
    {"Connection not estabilished", LibraryLine::kImportNotConnected},
    {"Failed to open Address Book File %s", LibraryLine::kUploadNotOpened},
    {"Not enough records in file", LibraryLine::kTooFewRecords},
    {"Error Parsing field", LibraryLine::kParseError},
    {"We have a malformed string", LibraryLine::kMalformedString},
    {"Successfully Parsed record Number %d", LibraryLine::kRecordParsed},
    {"value of fieldCnt %d ", LibraryLine::kFieldValue},
    {"Contact Added Successfully %s", LibraryLine::kContactAdded},
    {"Contact Not Added %d \n", LibraryLine::kContactNotAdded},
    {"Record %d has no displayName field", LibraryLine::kNoDisplayNameField},
    {"nameField is BLANK", LibraryLine::kDisplayNameBlank},
    {"email field contains illegal character", LibraryLine::kEmailIllegal},
    {"ifax field contains illegal character", LibraryLine::kIfaxIllegal},
    {"email field is longer than %d bytes", LibraryLine::kEmailTooLong},
    {"ifax field is longer than %d bytes", LibraryLine::kIfaxTooLong},
    {"firstNameField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d",
     LibraryLine::kFirstNameTooLong},
    {"lastNameField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d",
     LibraryLine::kLastNameTooLong},
    {"displayNameField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d",
     LibraryLine::kDisplayNameTooLong},
    {"companyField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d",
     LibraryLine::kCompanyTooLong},
    {"The size of nameField is greater than the max buffer size, %d.",
     LibraryLine::kNameOverBuffer},
};

LibraryLine lookUp(const char* format) {
  for (const KnownLine& known : kKnownLines) {
    if (std::strcmp(known.format, format) == 0) return known.line;
  }
  return LibraryLine::kOther;
}

}  // namespace

LibraryLine LibraryLineTable::identify(const char* format) {
  if (format == nullptr) return LibraryLine::kOther;
  // The library has a few dozen literals; with this many slots they rarely
  // share one, and a shared slot only costs a new lookup.
  auto address = reinterpret_cast<uintptr_t>(format);
  Slot& slot = slots_[(address ^ (address >> 8)) & (kSlots - 1)];
  if (slot.format != format) {
    slot.format = format;
    slot.line = lookUp(format);
  }
  return slot.line;
}

}  // namespace dabtool
