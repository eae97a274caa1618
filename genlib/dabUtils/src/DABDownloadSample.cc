// Sample (template) CSV files.
#include "DABDownloadSample.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "DABExport.h"
#include "logging.h"
#include "path_service.h"

#define LOG(level, ...) \
  Log_SpecEntry((level), "genlib/dabUtils/src/DABDownloadSample", __LINE__, __VA_ARGS__)

namespace {

// The sample contact is the same person in both templates. The addresses are
// in a domain reserved for examples, so a template imported unedited mails
// nobody.
const char kSampleName[] = "\"Doe, John\"";
const char kSampleEmail[] = "john.doe@example.com";
const char kSampleInternetFax[] = "john.doe.ifax@example.com";

// Bits of serviceFlags; each selects one optional column group.
const unsigned kEmailBit = 1;
const unsigned kInternetFaxBit = 2;
const unsigned kFaxBit = 4;
const unsigned kScanBit = 8;

// Header, value descriptions, sample individual, sample group.
const int kDabRowCount = 4;

// One column of the DAB template below its header (see dabCell).
struct SampleColumn {
  unsigned bit;          // Service bit that selects the column; 0 = always written.
  const char* cells[3];  // Value descriptions, sample individual, sample group.
};

// Every column of the DAB template in file order. The groups stand in the
// order fax, e-mail, internet fax, scan whatever their bit values, so walking
// this table in order and skipping unselected columns gives the file's order.
const SampleColumn kDabColumns[] = {
    {0, {"ZltDataValueOptions", "***Sample Data Individual***", "***Sample Data Group***"}},
    {0, {"", "1", "2"}},
    {0, {"Any Value Required Data", kSampleName, "Team DL"}},
    {0, {"Any Value", "John", " "}},
    {0, {"Any Value", "Doe", " "}},
    {0, {"Any Value", "Zelto", " "}},
    {0,
     {"Any number 1 through to the Address Book Limit."
      "                                                  "  // 50 blanks
      "This number is only valid if the contact is designated as a favorite",
      "1", "2"}},
    {0, {"Any Address Book ID", "2", " "}},
    {0, {"0 = Individual 1  = DL or Group", "0", "1"}},
    {0,
     {"Any of an exact list of Zelto Device Workflows"
      "                                                                   "  // 67 blanks
      "or empty for 'All Contacts'Fax",
      " ", "\"Fax\""}},
    {kFaxBit, {"Any Value", "\"1 (800) 555-1234,,12345\"", " "}},
    {kFaxBit, {"0 = No 1 = Yes", "1", "0"}},
    {kEmailBit, {"Any Value????", kSampleEmail, " "}},
    {kEmailBit, {"0 = No 1 = Yes", "0", "0"}},
    {kInternetFaxBit, {"Any Value????", kSampleInternetFax, " "}},
    {kScanBit, {"Any Value", "My Scans", " "}},
    {kScanBit, {"0 = No 1 = Yes", "0", "0"}},
    {kScanBit, {"1 = FTP 2 = SFTP 3 = SMB 4 = NDS", " ", " "}},
    {kScanBit, {"Any Value", "127.0.0.1", " "}},
    {kScanBit, {"Any Value", "21", ""}},
    {kScanBit, {"Any Value", "/path", " "}},
    {kScanBit, {"Any Value", "jdoe", " "}},
    {kScanBit, {"Any Value", "samplepw", " "}},
    {kScanBit, {"Any Value", "My SMB Share", " "}},
    {kScanBit, {"Any Value", "My NDS Tree", " "}},
    {kScanBit, {"Any Value", "My NDS Context", " "}},
    {kScanBit, {"Any Value", "My NDS Volume", " "}},
};

const size_t kDabColumnCount = sizeof kDabColumns / sizeof kDabColumns[0];
const size_t kDabBaseColumnCount = 10;  // Row label and the nine columns every row carries.
static_assert(kDabColumnCount == DAB_CSV_COLUMN_COUNT + 1,
              "the template is the export's columns plus its row label");

const char* const kLegacyRows[2][3] = {
    {"Friendly Name", "E-Mail Address", "InternetFax Address"},
    {kSampleName, kSampleEmail, kSampleInternetFax},
};

// The header names come from the export's own list, so that the template
// shows exactly the columns that an export writes.
const char* dabCell(int row, size_t column) {
  if (row > 0) return kDabColumns[column].cells[row - 1];
  return column == 0 ? "*****" : DAB_CSV_COLUMN_NAMES[column - 1];
}

// The templates default to the comma, unlike the exports, which default to the
// semicolon: only the exact name "Semicolon" selects it here. A missing name
// is just another name that is not "Semicolon", as in the export and import.
std::string sampleDelimiter(const char* delimiterName) {
  return delimiterName != NULL && strcmp(delimiterName, "Semicolon") == 0 ? ";" : ",";
}

// Writes columns [first, last) of `row` that `serviceFlags` selects. The row
// label is always selected, so every other written cell follows a delimiter.
void writeDabCells(FILE* file, const std::string& delimiter, int row, size_t first, size_t last,
                   unsigned serviceFlags) {
  for (size_t column = first; column < last; ++column) {
    unsigned bit = kDabColumns[column].bit;
    if (bit != 0 && (serviceFlags & bit) == 0) continue;
    if (column != 0) fputs(delimiter.c_str(), file);
    fputs(dabCell(row, column), file);
  }
}

// Opens `relativeName` under the data directory for writing. Logs `failure`
// and returns NULL when the path service cannot open it.
FILE* openSampleFile(const char* relativeName, const char* failure) {
  chmod(relativeName, 0666);  // Best effort: the web server must be able to serve it.
  const char* dir = xpaths_get_path("nc_dlms_data");
  FILE* file = xpaths_open_file(dir, relativeName, "w");
  if (file == NULL) LOG(logSpecError, "%s", failure);
  return file;
}

}  // namespace

int32_t DABDownloadSample::GenerateSampleDAB(char* delimiterName, char*, char*,
                                             unsigned int serviceFlags) {
  LOG(logSpecLibEnter, "GenerateSampleDAB");
  std::string delimiter = sampleDelimiter(delimiterName);
  FILE* file = openSampleFile(HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE,
                              "Failed to open HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE");
  if (file == NULL) return 1;
  for (int row = 0; row < kDabRowCount; ++row) {
    writeDabCells(file, delimiter, row, 0, kDabBaseColumnCount, serviceFlags);
    if (row == 0) {
      LOG(logSpecForceInfo, "Service Flag in lib = %d", static_cast<int>(serviceFlags));
    }
    writeDabCells(file, delimiter, row, kDabBaseColumnCount, kDabColumnCount, serviceFlags);
    if (row + 1 < kDabRowCount) fputc('\n', file);
  }
  fclose(file);
  return 0;
}

int32_t DABDownloadSample::GenerateSampleLegacy(char* delimiterName) {
  LOG(logSpecLibEnter, "GenerateSampleLegacy");
  std::string delimiter = sampleDelimiter(delimiterName);
  FILE* file = openSampleFile(HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE,
                              "Failed to open HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE");
  if (file == NULL) return 1;
  for (int row = 0; row < 2; ++row) {
    if (row > 0) fputc('\n', file);
    for (int cell = 0; cell < 3; ++cell) {
      if (cell > 0) fputs(delimiter.c_str(), file);
      fputs(kLegacyRows[row][cell], file);
    }
  }
  fclose(file);
  return 0;
}
