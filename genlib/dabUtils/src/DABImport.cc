// Import of an uploaded CSV file into the contact database.
#include "DABImport.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "contact_db.h"
#include "logging.h"
#include "path_service.h"
#include "stream_lock.h"
#include "utf8_text.h"

#define LOG(level, ...) \
  Log_SpecEntry((level), "genlib/dabUtils/src/DABImport", __LINE__, __VA_ARGS__)

namespace {

const char kImportFileName[] = "http/data/addressbook.txt";

// The database may hold 65000 contacts; the loop reads another field only
// while fewer than that are there.
const int32_t kLastCountThatReads = 64999;

// Longest values, in bytes, that fit the value buffers with their NUL.
const size_t kMaxValueBytes = sizeof(AbaPublicAddressParameters::fieldBuffer) - 1;
const size_t kMaxAddressBytes = 256;

// The contact-creation record with its three sub-records, allocated as one
// block so that a single free() releases everything on every way out.
struct ContactCreationRecord {
  DAB_DBI_Contact_t contact;
  DAB_DBI_Person_t person;
  DAB_DBI_Email_t email;
  DAB_DBI_InternetFax_t internetFax;
};

// The open import file and its buffer (see StreamLock). Module-level rather
// than members, so only one import may run at a time in a process.
FILE* importFile = NULL;
char importBuffer[kStreamBufferSize];

void closeImportFile() {
  if (importFile == NULL) {
    LOG(logSpecError, "Attempting to close a file that is already closed");
    return;
  }
  fclose(importFile);
  importFile = NULL;
}

ContactCreationRecord* newCreationRecord() {
  ContactCreationRecord* block =
      static_cast<ContactCreationRecord*>(calloc(1, sizeof(ContactCreationRecord)));
  if (block == NULL) return NULL;
  block->contact.person = &block->person;
  block->contact.email = &block->email;
  block->contact.internetFax = &block->internetFax;
  return block;
}

// A blank or any non-ASCII byte would make the address undeliverable; tabs
// and other control characters are let through.
int hasIllegalCharacter(const char* value) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); *p; ++p) {
    if (*p == ' ' || *p >= 0x80) return 1;
  }
  return 0;
}

// The parser's states, explained once:
//  0 unquoted: data bytes are stored; a quote anywhere opens quoted text.
//  1 quoted: the delimiter is data and every line end becomes one blank.
//  2 after a quote inside quoted text: a second quote is an escaped quote,
//    the delimiter, a line end or the end of the file close the field, and
//    anything else is a malformed field.
// A CR is a line end on its own; the character after it is read at once and
// pushed back unless it is the LF of a CR LF pair.
//
// The stream is locked once per field (StreamLock) and read with
// getc_unlocked.
bool isLineEnd(FILE* file, int ch) {
  if (ch == '\n') return true;
  if (ch != '\r') return false;
  int next = getc_unlocked(file);
  if (next != '\n') ungetc(next, file);
  return true;
}

// The value being read. Bytes beyond the buffer are read and dropped, so the
// value stays NUL-terminated and the next call starts at the next field.
class FieldValue {
 public:
  explicit FieldValue(AbaPublicAddressParameters* params) : params_(params) {}

  void append(int ch) {
    if (static_cast<size_t>(params_->counter) + 1 > kMaxValueBytes) return;
    params_->fieldBuffer[params_->counter++] = static_cast<char>(ch);
  }
  // A field cut short by the end of the file is not delivered.
  void drop() {
    memset(params_->fieldBuffer, 0, params_->counter);
    params_->counter = 0;
  }
  int32_t counter() const { return params_->counter; }
  const char* text() const { return params_->fieldBuffer; }

 private:
  AbaPublicAddressParameters* params_;
};

// Bytes above the double quote other than the delimiter are data in every
// state: one test settles almost every byte of a real file.
inline bool isPlainData(int ch, int delimiter) { return ch > '"' && ch != delimiter; }

int unquotedRun(FILE* file, int delimiter, FieldValue& value) {
  int ch = 0;
  for (;;) {
    LOG(logSpecInfo, "Value of *ch %c", ch);
    ch = getc_unlocked(file);
    if (isPlainData(ch, delimiter)) {
      value.append(ch);
      continue;
    }
    if (ch == EOF) {
      LOG(logSpecInfo, "Found EOF");
      value.drop();
      return ABA_PARSE_END_OF_FILE_STATE;
    }
    if (ch == '"') return ABA_PARSE_QUOTED_FIELD_STATE;
    if (ch == delimiter) return ABA_PARSE_END_OF_FIELD_STATE;
    if (isLineEnd(file, ch)) return ABA_PARSE_END_OF_RECORD_STATE;
    value.append(ch);
  }
}

int quotedRun(FILE* file, FieldValue& value) {
  for (;;) {
    int ch = getc_unlocked(file);
    if (ch > '"') {  // The delimiter included: it is data here.
      value.append(ch);
      continue;
    }
    if (ch == EOF) return ABA_PARSE_ERROR_STATE;
    if (ch == '"') return ABA_PARSE_EMBEDDED_QUOTE_STATE;
    if (isLineEnd(file, ch)) {
      LOG(logSpecInfo, "We HIT a new line character in QUOTE %d", ' ');
      ch = ' ';
    }
    value.append(ch);
  }
}

int embeddedQuoteStep(FILE* file, int delimiter, FieldValue& value) {
  LOG(logSpecInfo, "Escaping the field for java script %s ", value.text());
  int ch = getc_unlocked(file);
  LOG(logSpecInfo,
      "STATE = ABA_PARSE_EMBEDDED_QUOTE_STATE, Value of Counter %d,Value of CH IN EMBEDDED "
      "QUOTE STATE %c value of string %s ",
      value.counter(), ch, value.text());
  if (ch == delimiter) {
    LOG(logSpecInfo, "Found Comma - End of field");
    return ABA_PARSE_END_OF_FIELD_STATE;
  }
  if (ch == '"') {
    LOG(logSpecInfo, "Found Quote - Add field and go back to Quoted Field State");
    value.append('"');
    return ABA_PARSE_QUOTED_FIELD_STATE;
  }
  if (ch == EOF) {
    value.drop();
    return ABA_PARSE_END_OF_FILE_STATE;
  }
  if (isLineEnd(file, ch)) return ABA_PARSE_END_OF_RECORD_STATE;
  LOG(logSpecError, "We have a malformed string");
  return ABA_PARSE_ERROR_STATE;
}

}  // namespace

DABImport::DABImport()
    : dbStatus(0),
      firstRecord(1),
      skipRecord(0),
      stopImport(0),
      recordsImported(0),
      newContactId(0),
      recordNumber(0),
      fieldCnt(0),
      contactsCount(0),
      delimiter(','),
      parserState(0),
      statusCode(0) {
  memset(&parserParams, 0, sizeof parserParams);
  firstName[0] = lastName[0] = company[0] = displayName[0] = email[0] = ifax[0] = '\0';
  dbStatus = DAB_DBI_Connect();
}

DABImport::~DABImport() { dbStatus = DAB_DBI_Disconnect(); }

int DABImport::importAddressbook(char* delimiterName, char*, char*, ResultStatus* result) {
  LOG(logSpecLibEnter, "importAddressbook");
  if (dbStatus != 0) {
    LOG(logSpecDebug, "Connection not estabilished");
    return 1;
  }
  ContactCreationRecord* block = newCreationRecord();
  if (block == NULL) {
    LOG(logSpecError, "Failed to allocate the contact record");
    return 1;
  }
  int status = runImport(&block->contact, delimiterName, result);
  free(block);
  if (status != 0) return status;
  LOG(logSpecInfo, "ImportLog is closed successfully");
  LOG(logSpecInfo, "Import Log is closed successfully %d", 0);
  return 0;
}

int DABImport::runImport(DAB_DBI_Contact_t* record, const char* delimiterName,
                         ResultStatus* result) {
  contactsCount = 0;
  DAB_DBI_GetContactsCount(&contactsCount, 0);
  LOG(logSpecDebug, "Contacts Count: %d", contactsCount);
  importFile = xpaths_open_file(xpaths_get_path("nc_dlms_data"), kImportFileName, "r");
  if (importFile == NULL) {
    LOG(logSpecError, "Failed to open Address Book File %s", kImportFileName);
    LOG(logSpecError, "Failed to open Imported Address Book File");
    return 1;
  }
  setvbuf(importFile, importBuffer, _IOFBF, sizeof importBuffer);
  firstRecord = 1;
  parserState = 0;
  bool semicolon = delimiterName != NULL && strcmp(delimiterName, "Semicolon") == 0;
  delimiter = semicolon ? ';' : ',';
  readFields(record);
  if (recordNumber < 2) {
    LOG(logSpecError, "Not enough records in file");
    statusCode = 6;
  }
  if (stopImport == 1) {
    LOG(logSpecError, "Error Detected");
    closeImportFile();
    return statusCode;
  }
  reportCounts(result);
  closeImportFile();
  LOG(logSpecInfo, "Import Address Book is closed successfully %d", 0);
  return 0;
}

void DABImport::readFields(DAB_DBI_Contact_t* record) {
  // Held for the whole file, the parser's own lock per field is only a
  // count on a lock this thread already owns, without an atomic operation.
  StreamLock lock(importFile);
  while (stopImport != 1 && contactsCount <= kLastCountThatReads) {
    parserState = import_address_book_parser(importFile, delimiter, &parserParams);
    switch (parserState) {
      case ABA_PARSE_END_OF_FIELD_STATE:
        importContactToDB();
        // Past 2^31 fields of one record the position stays put rather than
        // wrapping: every position from 6 on is ignored anyway.
        if (fieldCnt < INT32_MAX) ++fieldCnt;
        break;
      case ABA_PARSE_END_OF_RECORD_STATE:
        endRecord(record);
        break;
      case ABA_PARSE_END_OF_FILE_STATE:
        LOG(logSpecInfo, "ABA_PARSE_END_OF_FILE_STATE");
        return;
      case ABA_PARSE_ERROR_STATE:
        LOG(logSpecError, "Error Parsing field");
        statusCode = 3;
        stopImport = 1;
        break;
      default:
        LOG(logSpecError, "Reached Default Case %d", parserState);
        statusCode = 8;
        break;
    }
  }
}

void DABImport::endRecord(DAB_DBI_Contact_t* record) {
  // An empty line, as spreadsheets leave at the end of a file, is no record
  // at all: not created, not counted, and it does not take the header's place.
  if (fieldCnt == 0 && parserParams.fieldBuffer[0] == '\0') return;
  // An upload of more than 2^31 records stops counting rather than wrapping.
  if (recordNumber < INT32_MAX) ++recordNumber;
  LOG(logSpecInfo, "Successfully Parsed record Number %d", recordNumber);
  importContactToDB();
  record->displayName = displayName;
  record->person->firstName = firstName;
  record->person->lastName = lastName;
  record->person->company = company;
  record->email->address = email;
  record->internetFax->address = ifax;
  newContactId = -1;
  if (firstRecord) {
    LOG(logSpecInfo, "Field number for first record: %d", fieldCnt);
    firstRecord = 0;
  } else if (fieldCnt < 2) {
    // Treated like a blank display name: a contact needs one to be listed.
    LOG(logSpecError, "Record %d has no displayName field", recordNumber);
    statusCode = 8;
    skipRecord = 0;
  } else if (skipRecord) {
    skipRecord = 0;
  } else {
    createContact(record);
  }
  clearRecord(record);
}

void DABImport::createContact(DAB_DBI_Contact_t* record) {
  if (DAB_DBI_CreateContact(record, &newContactId) != 0) {
    LOG(logSpecDebug, "Contact Not Added %d \n", recordNumber);
    return;
  }
  LOG(logSpecDebug, "Contact Added Successfully %s", displayName);
  ++recordsImported;
  ++contactsCount;
  LOG(logSpecDebug, "Records Imported: %d, Total Records: %d \n", recordsImported, contactsCount);
}

// The values are cleared too, so that a short record never carries the
// previous record's values in its absent fields.
void DABImport::clearRecord(DAB_DBI_Contact_t* record) {
  memset(record->person, 0, sizeof *record->person);
  memset(record->email, 0, sizeof *record->email);
  memset(record->internetFax, 0, sizeof *record->internetFax);
  record->displayName = NULL;
  fieldCnt = 0;
  firstName[0] = lastName[0] = company[0] = displayName[0] = email[0] = ifax[0] = '\0';
}

void DABImport::reportCounts(ResultStatus* result) {
  int32_t successCount = 0;
  int32_t failureCount = 0;
  if (recordNumber != 0) {
    successCount = recordsImported;
    failureCount = recordNumber - 1 - recordsImported;  // The header is no failure.
  }
  if (result != NULL) {
    result->successCount = successCount;
    result->failureCount = failureCount;
  }
  LOG(logSpecInfo, "Success Count = %d \n", successCount);
  LOG(logSpecInfo, "Failure Count = %d \n", failureCount);
  LOG(logSpecInfo, "Value of record Number %d, Value of Total Mapping %d", recordNumber, 2);
}

int DABImport::import_address_book_parser(FILE* file, int delimiter,
                                          AbaPublicAddressParameters* params) {
  memset(params->fieldBuffer, 0, sizeof params->fieldBuffer);
  params->counter = 0;
  if (file == NULL) {
    LOG(logSpecError, "Address book is not Opened");
    return ABA_PARSE_ERROR_STATE;
  }
  StreamLock lock(file);
  FieldValue value(params);
  int state = ABA_PARSE_UNQUOTED_FIELD_STATE;
  for (;;) {
    switch (state) {
      case ABA_PARSE_UNQUOTED_FIELD_STATE:
        state = unquotedRun(file, delimiter, value);
        if (state == ABA_PARSE_END_OF_FILE_STATE) return state;
        break;
      case ABA_PARSE_QUOTED_FIELD_STATE:
        // The end of the file inside quoted text returns at once, silently.
        state = quotedRun(file, value);
        if (state == ABA_PARSE_ERROR_STATE) return state;
        break;
      case ABA_PARSE_EMBEDDED_QUOTE_STATE:
        state = embeddedQuoteStep(file, delimiter, value);
        if (state == ABA_PARSE_END_OF_FILE_STATE) return state;
        break;
      case ABA_PARSE_END_OF_FIELD_STATE:
        LOG(logSpecInfo, "ABA_PARSE_END_OF_FIELD_STATE");
        return state;
      case ABA_PARSE_END_OF_RECORD_STATE:
        LOG(logSpecInfo, "ABA_PARSE_END_OF_RECORD_STATE");
        return state;
      default:
        LOG(logSpecError, "Reached Default Case");
        return ABA_PARSE_ERROR_STATE;
    }
  }
}

void DABImport::importContactToDB() {
  LOG(logSpecInfo, "value of fieldCnt %d ", fieldCnt);
  if (fieldCnt >= 0 && fieldCnt <= 3) {
    importName(fieldCnt);
  } else if (fieldCnt == 4 || fieldCnt == 5) {
    importAddress(fieldCnt);
  }
}

// A name over the character limit is still copied; only a value that does
// not fit its buffer is refused.
void DABImport::importName(int position) {
  const char* value = parserParams.fieldBuffer;
  if (position == 2 && value[0] == '\0') {
    LOG(logSpecError, "nameField is BLANK");
    statusCode = 8;
    skipRecord = 1;
  }
  // Conditionals of literal formats keep the compiler's format checks.
  if (position != 3) {
    LOG(logSpecInfo,
        position == 0   ? "Found a matching field for firstName: XX%sXX "
        : position == 1 ? "Found a matching field for lastName: XX%sXX "
                        : "Found a matching field for displayName: XX%sXX ",
        value);
  }
  if (UTF8_strlen(value) > MAX_NUMBER_OF_CHARS) {
    statusCode = 10;
    LOG(logSpecError,
        position == 0 ? "firstNameField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d"
        : position == 1
            ? "lastNameField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d"
        : position == 2
            ? "displayNameField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d"
            : "companyField is too long, which is more than the MAX_NUMBER_OF_CHARS, %d",
        MAX_NUMBER_OF_CHARS);
  }
  size_t length = strlen(value);
  if (length > kMaxValueBytes) {
    LOG(logSpecError, "The size of nameField is greater than the max buffer size, %d.", 1024);
    statusCode = 10;
    return;
  }
  char* buffer = valueBuffer(position);
  memset(buffer, 0, kMaxValueBytes + 1);
  memcpy(buffer, value, length);
}

// An address is never cut: a truncated one would send documents to the
// wrong place, so an over-long one leaves the buffer empty and keeps the
// record from being created.
void DABImport::importAddress(int position) {
  const char* value = parserParams.fieldBuffer;
  bool isEmail = position == 4;
  if (hasIllegalCharacter(value)) {
    LOG(logSpecError, isEmail ? "email field contains illegal character"
                              : "ifax field contains illegal character");
    statusCode = 9;
  }
  LOG(logSpecInfo,
      isEmail ? "Found a matching field for email: XX%sXX "
              : "Found a matching field for ifax: XX%sXX ",
      value);
  char* buffer = valueBuffer(position);
  memset(buffer, 0, kMaxAddressBytes + 1);
  size_t length = strlen(value);
  if (length > kMaxAddressBytes) {
    LOG(logSpecError,
        isEmail ? "email field is longer than %d bytes" : "ifax field is longer than %d bytes",
        static_cast<int>(kMaxAddressBytes));
    statusCode = 10;
    if (!firstRecord) skipRecord = 1;
    return;
  }
  memcpy(buffer, value, length);
}

char* DABImport::valueBuffer(int position) {
  char* const buffers[] = {firstName, lastName, displayName, company, email, ifax};
  return position >= 0 && position < 6 ? buffers[position] : NULL;
}
