// Export of the address book as a DAB or legacy CSV file.
#include "DABExport.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <memory>

#include "audit_log.h"
#include "logging.h"
#include "path_service.h"
#include "stream_lock.h"

#define LOG(level, ...) \
  Log_SpecEntry((level), "genlib/dabUtils/src/DABExport", __LINE__, __VA_ARGS__)

const char* const DAB_CSV_COLUMN_NAMES[DAB_CSV_COLUMN_COUNT] = {"ZltAddressBookId",
                                                                "DisplayName",
                                                                "FirstName",
                                                                "LastName",
                                                                "Company",
                                                                "ZltAllFavoritesOrder",
                                                                "MemberOf",
                                                                "IsDL",
                                                                "ZltApplicableWorkflows",
                                                                "FaxNumber",
                                                                "ZltIsFaxFavorite",
                                                                "E-mailAddress",
                                                                "ZltIsEmailFavorite",
                                                                "InternetFaxAddress",
                                                                "ScanNickName",
                                                                "ZltIsScanFavorite",
                                                                "ScanTransferProtocol",
                                                                "ScanServerAddress",
                                                                "ScanServerPort",
                                                                "ScanDocumentPath",
                                                                "ScanLoginName",
                                                                "ScanLoginPassword",
                                                                "ScanSMBShare",
                                                                "ScanNDSTree",
                                                                "ScanNDSContext",
                                                                "ScanNDSVolume"};

namespace {

// Smallest buffers the quoting and masking hand out; longer input gets a
// buffer of its own size instead of being cut.
const size_t kQuotedMinSize = 2048;
const size_t kMaskedMinSize = 255;

// printf's %s must never see NULL: an absent text logs as "".
const char* orEmpty(const char* text) { return text ? text : ""; }

// The next run of bytes outside `delims` from *cursor, after skipping a
// leading run of them; the byte that ends the run is overwritten by NUL and
// consumed. NULL when only delimiters remain. Same runs as strtok, but the
// position lives in the caller's cursor instead of hidden static state.
char* nextToken(char** cursor, const char* delims) {
  char* start = *cursor + strspn(*cursor, delims);
  char* end = start + strcspn(start, delims);
  *cursor = end;
  if (*start == '\0') return NULL;
  if (*end != '\0') {
    *end = '\0';
    *cursor = end + 1;
  }
  return start;
}

// The port as strtol reads it, held to the 32-bit range of the device's long
// so that an absurd port cannot wrap into a different number.
int32_t parsePort(const char* text) {
  if (text == NULL) return 0;
  long value = strtol(text, NULL, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The writers hold the stream for the whole file (StreamLock) and write with
// its unlocked calls.
void putChar(FILE* file, char c) { putc_unlocked(c, file); }

void putText(FILE* file, const char* text) { fputs_unlocked(text, file); }

// What printf's "%d" writes, without parsing a format for every number cell.
void putNumber(FILE* file, int32_t value) {
  char digits[12];
  char* end = digits + sizeof digits;
  char* p = end;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  while (p < end) putc_unlocked(*p++, file);
}

// Cells 8 and 9, each followed by the delimiter.
void writeKindCells(FILE* file, char delimiter, int32_t dlType) {
  const char* isDl = "0";
  const char* workflow = "Unknown";
  if (dlType == DAB_DBI_INDIVIDUAL) {
    workflow = "";
  } else if (dlType == DAB_DBI_FAX_GROUP) {
    isDl = "1";
    workflow = "Fax";
  } else if (dlType == DAB_DBI_EMAIL_GROUP) {
    isDl = "2";
    workflow = "Email";
  }
  putText(file, isDl);
  putChar(file, delimiter);
  putText(file, workflow);
  putChar(file, delimiter);
}

void writeDelimiters(FILE* file, char delimiter, int n) {
  for (int i = 0; i < n; ++i) putChar(file, delimiter);
}

// True when the writer has entries to walk. The database promises at least
// `count` entries; a list without any for a positive count breaks that
// promise and is refused rather than followed.
bool hasEntries(int count, DAB_DBI_ContactList_t* list) {
  if (count < 1) return false;
  if (list != NULL && list->contacts != NULL) return true;
  LOG(logSpecError, "Contact list holds no entries, %d expected", count);
  return false;
}

}  // namespace

DABExport::DABExport() : dbStatus(0), unused(0) { dbStatus = DAB_DBI_Connect(); }

DABExport::~DABExport() { dbStatus = DAB_DBI_Disconnect(); }

// --- Drivers -------------------------------------------------------------------

namespace {

// Owns the list header from its allocation until the database takes it back.
// Once the header has been offered to the fetch only the database may release
// it, and it must get back the cursor the fetch stored; before that the header
// is ours to free. The destructor keeps both rules on every way out, including
// the unwinding of a failed allocation inside a writer.
class ContactListHold {
 public:
  ContactListHold()
      : list_(static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)))),
        first_(NULL),
        offered_(false) {}
  ~ContactListHold() { release(); }
  ContactListHold(const ContactListHold&) = delete;
  ContactListHold& operator=(const ContactListHold&) = delete;

  DAB_DBI_ContactList_t* get() const { return list_; }

  int fetch() {
    offered_ = true;
    int status = DAB_DBI_GetContactList(list_, 0, 0);
    first_ = list_->contacts;
    return status;
  }

  void release() {
    if (list_ == NULL) return;
    if (offered_) {
      list_->contacts = first_;
      DAB_DBI_Free_ContactList(list_);
    } else {
      free(list_);
    }
    list_ = NULL;
  }

 private:
  DAB_DBI_ContactList_t* list_;
  DAB_DBI_Contact_t* first_;  // Cursor as the fetch stored it.
  bool offered_;              // Passed to DAB_DBI_GetContactList.
};

// Closes the output file on every way out.
// The output stream's buffer (see StreamLock).
char outputBuffer[kStreamBufferSize];

class OutputFile {
 public:
  explicit OutputFile(FILE* file) : file_(file) {
    if (file_ != NULL) setvbuf(file_, outputBuffer, _IOFBF, sizeof outputBuffer);
  }
  ~OutputFile() { close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  FILE* get() const { return file_; }
  void close() {
    if (file_ != NULL) fclose(file_);
    file_ = NULL;
  }

 private:
  FILE* file_;
};

typedef void (DABExport::*ExportWriter)(FILE*, char, int, DAB_DBI_ContactList_t*);

// What tells the two export formats apart.
struct ExportFormat {
  const char* fileName;      // Relative to the data directory.
  void (*logOpenFailure)();  // Logs the format's own open-failure line.
  ExportWriter writer;
};

void logDabOpenFailure() {
  LOG(logSpecError, "Failed to open HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE");
}

void logLegacyOpenFailure() {
  LOG(logSpecError, "Failed to open HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE");
}

// The web server serves the file under another user, hence the mode; chmod
// sees the relative name, so it acts on the working directory's copy, and its
// result does not decide anything.
FILE* openOutputFile(const char* fileName) {
  chmod(fileName, 0666);
  const char* dir = xpaths_get_path("nc_dlms_data");
  return xpaths_open_file(dir, fileName, "w");
}

char exportDelimiter(const char* delimiterName) {
  return delimiterName != NULL && strcmp(delimiterName, "Comma") == 0 ? ',' : ';';
}

int runExport(DABExport& exporter, const char* delimiterName, const ExportFormat& format) {
  if (exporter.dbStatus != 0) return 4;
  int count = 0;
  ContactListHold list;
  if (list.get() == NULL) {
    LOG(logSpecError, "Contact List is NULL");
    return 6;
  }
  // A failed count is not fatal: it leaves MemberOf empty through dbStatus.
  exporter.dbStatus = DAB_DBI_GetContactsCount(&count, 0);
  if (list.fetch() != 0) {
    LOG(logSpecError, "Cannot get the list of contact from Database");
    list.release();
    return 5;
  }
  OutputFile out(openOutputFile(format.fileName));
  if (out.get() == NULL) {
    format.logOpenFailure();
    list.release();
    return 6;
  }
  (exporter.*format.writer)(out.get(), exportDelimiter(delimiterName), count, list.get());
  out.close();
  list.release();
  adlog_addressbook_export();
  return 0;
}

}  // namespace

int DABExport::ExportAddressbook(char* delimiterName, char*, char*) {
  LOG(logSpecLibEnter, "ExportAddressbook");
  static const ExportFormat kDab = {HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE, logDabOpenFailure,
                                    &DABExport::writeToExportFile};
  return runExport(*this, delimiterName, kDab);
}

int DABExport::LegacyExportAddressbook(char* delimiterName, char*, char*, char*) {
  LOG(logSpecLibEnter, "LegacyExportAddressbook");
  static const ExportFormat kLegacy = {HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE,
                                       logLegacyOpenFailure, &DABExport::writeToLegacyExportFile};
  return runExport(*this, delimiterName, kLegacy);
}

// --- DAB writer ------------------------------------------------------------------

void DABExport::writeToExportFile(FILE* file, char delimiter, int count,
                                  DAB_DBI_ContactList_t* list) {
  // One record for the whole file; the database refills it for every line.
  std::unique_ptr<DAB_DBI_GroupIds_t> groupIds(new DAB_DBI_GroupIds_t);
  StreamLock lock(file);
  for (int i = 0; i < DAB_CSV_COLUMN_COUNT; ++i) {
    putText(file, DAB_CSV_COLUMN_NAMES[i]);
    if (i + 1 < DAB_CSV_COLUMN_COUNT) putChar(file, delimiter);
  }
  putText(file, "\r\n");
  if (!hasEntries(count, list)) return;
  for (int i = 0; i < count; ++i) {
    DAB_DBI_Contact_t* contact = list->contacts;
    if (contact->dlType == DAB_DBI_INDIVIDUAL) {
      writeIndividualLine(file, delimiter, contact, groupIds.get());
    } else {
      writeGroupLine(file, delimiter, contact, groupIds.get());
    }
    ++list->contacts;
  }
}

void DABExport::writeIndividualLine(FILE* file, char delimiter, DAB_DBI_Contact_t* contact,
                                    DAB_DBI_GroupIds_t* groupIds) {
  putNumber(file, contact->id);
  putChar(file, delimiter);
  writeTextCell(file, contact->displayName, delimiter);
  writeTextCell(file, contact->person->firstName, delimiter);
  writeTextCell(file, contact->person->lastName, delimiter);
  writeTextCell(file, contact->person->company, delimiter);
  int32_t order = contact->favorites->allFavoritesOrder;
  if (order != -1) putNumber(file, order);
  putChar(file, delimiter);
  writeMemberOf(file, groupIds, contact->id);
  putChar(file, delimiter);
  writeKindCells(file, delimiter, DAB_DBI_INDIVIDUAL);  // Whatever else the record says.
  char* masked = MaskData(contact->fax->number);
  if (masked != NULL) {
    writeCsvText(file, masked);
    free(masked);
  }
  putChar(file, delimiter);
  writeNumberCell(file, contact->fax->isFavorite, delimiter);
  writeTextCell(file, contact->email->address, delimiter);
  writeNumberCell(file, contact->email->isFavorite, delimiter);
  writeTextCell(file, contact->internetFax->address, delimiter);
  writeTextCell(file, contact->scan->nickName, delimiter);
  writeNumberCell(file, contact->scan->isFavorite, delimiter);
  writeScanCells(file, delimiter, contact->scan);
}

// A group carries its id, name, memberships, kind and the three favourite
// flags; its person, internet-fax and favourites records are never followed.
void DABExport::writeGroupLine(FILE* file, char delimiter, DAB_DBI_Contact_t* contact,
                               DAB_DBI_GroupIds_t* groupIds) {
  writeNumberCell(file, contact->id, delimiter);
  writeTextCell(file, contact->displayName, delimiter);
  writeDelimiters(file, delimiter, 4);
  writeMemberOf(file, groupIds, contact->id);
  putChar(file, delimiter);
  writeKindCells(file, delimiter, contact->dlType);
  putChar(file, delimiter);
  writeNumberCell(file, contact->fax->isFavorite, delimiter);
  putChar(file, delimiter);
  writeNumberCell(file, contact->email->isFavorite, delimiter);
  writeDelimiters(file, delimiter, 2);
  writeNumberCell(file, contact->scan->isFavorite, delimiter);
  writeDelimiters(file, delimiter, 9);
  putText(file, "\r\n");
}

// The ids are joined by ',' whatever the delimiter, inside tripled quotes, so
// a reader that undoubles quotes sees one quoted text such as "12,40".
void DABExport::writeMemberOf(FILE* file, DAB_DBI_GroupIds_t* groupIds, int32_t contactId) {
  // A failed count call means the connection cannot be trusted for more
  // queries.
  if (dbStatus != 0) return;
  if (DAB_DBI_GetAllGroupIds(groupIds, contactId, 1) != 0) return;
  LOG(logSpecInfo, "Inside Member Count ");
  if (groupIds->count <= 0 || groupIds->ids == NULL) return;
  putText(file, "\"\"\"");
  for (int32_t i = 0; i < groupIds->count; ++i) {
    putNumber(file, groupIds->ids[i]);
    if (i + 1 < groupIds->count) putChar(file, ',');
    LOG(logSpecInfo, "RESPONSE FOR GROUP IS :%d ", groupIds->ids[i]);
  }
  putText(file, "\"\"\"");
}

// --- Scan cells ------------------------------------------------------------------

void DABExport::writeScanCells(FILE* file, char delimiter, DAB_DBI_Scan_t* scan) {
  int32_t code = scan->transferProtocol;
  writeNumberCell(file, ScanProtocolMapping(code), delimiter);
  writeServerAddressCells(file, delimiter, scan);
  writeTextCell(file, scan->documentPath, delimiter);
  writeTextCell(file, scan->loginName, delimiter);
  putChar(file, delimiter);  // The password is never exported.
  if (code == 2) writeCsvText(file, scan->shareOrVolume);
  putChar(file, delimiter);
  writeTextCell(file, scan->ndsTree, delimiter);
  writeTextCell(file, scan->ndsContext, delimiter);
  if (code == 0) writeCsvText(file, scan->shareOrVolume);
  putText(file, "\r\n");
}

namespace {

// Host of a "[ipv6][:port]" address, written with the "]" that tokenizing
// takes from it; returns the port text inside `copy`, or NULL.
char* writeBracketedHost(DABExport& exporter, FILE* file, char* copy) {
  if (copy == NULL) {
    LOG(logSpecInfo, "ServerAddress is NULL.... writing empty string in address");
    return NULL;
  }
  LOG(logSpecInfo, "SERVERTYPE = IPV6");
  char* cursor = copy;
  char* host = nextToken(&cursor, "]");
  LOG(logSpecInfo, "ServerAddress tokenizer %s", orEmpty(host));
  char* port = nextToken(&cursor, ":");
  LOG(logSpecInfo, "Strtok for p %s", orEmpty(port));
  // No host characters: a lone "]" would pass for an address, so nothing.
  if (host != NULL) {
    exporter.writeCsvText(file, host);
    putChar(file, ']');
  }
  return port;
}

// Host of a "host[:port]" address; returns the port text inside `copy`, or
// NULL.
char* writePlainHost(DABExport& exporter, FILE* file, char* copy) {
  LOG(logSpecInfo, "SERVERTYPE = IPV4");
  char* host = NULL;
  char* port = NULL;
  if (copy != NULL) {
    char* cursor = copy;
    host = nextToken(&cursor, ":");
    LOG(logSpecInfo, "ADDR =%s", orEmpty(host));
    port = nextToken(&cursor, ":");
    LOG(logSpecInfo, "PORT =%s", orEmpty(port));
  }
  exporter.writeCsvText(file, host);
  LOG(logSpecInfo, "ServerAddress is written ... IPV4 ");
  return port;
}

}  // namespace

void DABExport::writeServerAddressCells(FILE* file, char delimiter, DAB_DBI_Scan_t* scan) {
  // Tokenizing cuts the text, and the database's copy is not ours to change.
  char* copy = scan->serverAddress != NULL ? strdup(scan->serverAddress) : NULL;
  LOG(logSpecInfo, "ServerAddress = %s", orEmpty(copy));
  char* portText = NULL;
  switch (scan->serverAddressType) {
    case 0:
    case 1:
      portText = writePlainHost(*this, file, copy);
      break;
    case 2:
      portText = writeBracketedHost(*this, file, copy);
      break;
    default:
      LOG(logSpecInfo, "INVALID SERVER TYPE... WRITTNG DEFAULT VALUES");
      break;
  }
  int32_t port = parsePort(portText);
  free(copy);
  putChar(file, delimiter);
  writeNumberCell(file, port, delimiter);
}

int DABExport::ScanProtocolMapping(int code) {
  // Database codes 0..6 in order; the CSV numbers 1..4 are the ones the
  // sample template names (FTP, SFTP, SMB, NDS).
  static const int kCsvNumber[] = {4, 1, 3, 5, 6, 7, 2};
  if (code < 0 || code > 6) return 4;
  return kCsvNumber[code];
}

// --- Legacy writer -----------------------------------------------------------------

void DABExport::writeToLegacyExportFile(FILE* file, char delimiter, int count,
                                        DAB_DBI_ContactList_t* list) {
  StreamLock lock(file);
  putText(file, "Friendly Name");
  putChar(file, delimiter);
  putText(file, "E-Mail Address");
  putChar(file, delimiter);
  putText(file, "Internet Fax Address\n");
  if (!hasEntries(count, list)) return;
  for (int i = 0; i < count; ++i) {
    DAB_DBI_Contact_t* contact = list->contacts;
    const char* email = contact->email->address;
    // The e-mail test comes first, so a group without an address is reported
    // too; one with an address is left out silently.
    if (email == NULL || email[0] == '\0') {
      LOG(logSpecError, "Not exporting contact, null email contact (Legacy Mode):  %s",
          orEmpty(contact->displayName));
    } else if (contact->dlType == DAB_DBI_INDIVIDUAL) {
      writeLegacyRow(file, delimiter, contact);
    }
    ++list->contacts;
  }
}

void DABExport::writeLegacyRow(FILE* file, char delimiter, DAB_DBI_Contact_t* contact) {
  writeTextCell(file, contact->displayName, delimiter);
  writeTextCell(file, contact->email->address, delimiter);
  writeCsvText(file, contact->internetFax->address);
  putText(file, "\r\n");
}

// --- Quoting and masking ------------------------------------------------------------

void DABExport::writeCsvText(FILE* file, char* text) {
  char* quoted = makeCsvSafe(text);
  if (quoted != NULL) {
    putText(file, quoted);
    free(quoted);
  } else if (text != NULL) {
    putText(file, text);
  }
}

void DABExport::writeTextCell(FILE* file, char* text, char delimiter) {
  writeCsvText(file, text);
  putChar(file, delimiter);
}

void DABExport::writeNumberCell(FILE* file, int32_t value, char delimiter) {
  putNumber(file, value);
  putChar(file, delimiter);
}

char* DABExport::makeCsvSafe(char* field) {
  LOG(logSpecInfo, "enter function makeCsvSafe, passing string %s", orEmpty(field));
  if (field == NULL) {
    LOG(logSpecInfo, "passing in string is null");
    return NULL;
  }
  // Most texts hold neither character: one library scan settles them.
  size_t plain = strcspn(field, "\",");
  if (field[plain] == '\0') {
    LOG(logSpecInfo, "neither double quotes, nor comma found in string");
    return NULL;
  }
  bool hasComma = false;
  size_t quotes = 0;
  const char* p = field + plain;
  for (; *p != '\0'; ++p) {
    quotes += *p == '"';
    hasComma |= *p == ',';
  }
  if (quotes > 0 && hasComma) LOG(logSpecInfo, "both double quotes and comma found in string\n");
  size_t length = static_cast<size_t>(p - field);
  size_t size = length + quotes + 3;  // Two enclosing quotes and the NUL.
  if (size < kQuotedMinSize) size = kQuotedMinSize;
  char* quoted = static_cast<char*>(malloc(size));
  if (quoted == NULL) return NULL;
  char* out = quoted;
  *out++ = '"';
  memcpy(out, field, plain);
  out += plain;
  for (p = field + plain; *p != '\0'; ++p) {
    if (*p == '"') *out++ = '"';
    *out++ = *p;
  }
  *out++ = '"';
  *out = '\0';
  LOG(logSpecInfo, "exit function makeCsvSafe, passing out string %s", quoted);
  return quoted;
}

// Segments between the first and second '/', the third and fourth, and so on
// are private (an extension or access code) and stay out of the file. Empty
// segments do not count, so "12//56" drops "56". Scans the input in place, so
// the input is never changed and needs no working copy.
char* DABExport::MaskData(char* text) {
  const char* in = orEmpty(text);
  size_t length = strlen(in);
  char* masked = static_cast<char*>(malloc(length < kMaskedMinSize ? kMaskedMinSize : length + 1));
  if (masked == NULL) return NULL;
  char* out = masked;
  int segment = 0;
  for (in += strspn(in, "/"); *in != '\0'; in += strspn(in, "/")) {
    size_t run = strcspn(in, "/");
    ++segment;
    if (segment > 1) *out++ = '/';
    if (segment % 2 == 1) {
      memcpy(out, in, run);
      out += run;
    }
    in += run;
  }
  *out = '\0';
  return masked;
}
