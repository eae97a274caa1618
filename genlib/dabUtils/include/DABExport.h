// Export of the address book as a DAB CSV file (26 columns) or a legacy CSV
// file (3 columns).
#ifndef DABUTILS_INCLUDE_DABEXPORT_H_
#define DABUTILS_INCLUDE_DABEXPORT_H_

#include <stdint.h>
#include <stdio.h>

#include "contact_db.h"

#define HTTP_ADDRESS_BOOK_EXPORTED_TEMP_FILE "http/data/ExportedAddressBook.csv"
#define HTTP_LEGACY_ADDRESS_BOOK_EXPORTED_TEMP_FILE "http/data/LegacyExportedAddressBook.csv"

// The column names of the DAB CSV format, in file order. The sample template
// writes the same names, so the two files cannot drift apart.
#define DAB_CSV_COLUMN_COUNT 26
extern const char* const DAB_CSV_COLUMN_NAMES[DAB_CSV_COLUMN_COUNT];

// One export. Constructing it connects to the contact database, destroying it
// disconnects (also after a failed connect). Not copyable: it owns that
// connection.
class DABExport {
 public:
  DABExport();
  ~DABExport();
  DABExport(const DABExport&) = delete;
  DABExport& operator=(const DABExport&) = delete;

  // Status codes: 0 success, 4 not connected, 5 the list could not be
  // fetched, 6 the list record could not be allocated or the file opened.
  int ExportAddressbook(char* delimiterName, char* reserved1, char* reserved2);
  int LegacyExportAddressbook(char* delimiterName, char* reserved1, char* reserved2,
                              char* reserved3);

  // Write `count` entries of `list` to `file`, advancing list->contacts by
  // one entry each; the caller restores it. REQUIRES: list holds at least
  // `count` entries.
  void writeToExportFile(FILE* file, char delimiter, int count, DAB_DBI_ContactList_t* list);
  void writeToLegacyExportFile(FILE* file, char delimiter, int count, DAB_DBI_ContactList_t* list);

  // The quoted form of `field` from malloc(), or NULL when it needs no
  // quotes (or is NULL). Caller frees a non-NULL result.
  char* makeCsvSafe(char* field);

  // `text` with every second '/'-separated segment removed, from malloc();
  // NULL only when out of memory. Caller frees.
  char* MaskData(char* text);

  // The CSV protocol number of a database protocol code.
  int ScanProtocolMapping(int code);

  int32_t dbStatus;  // Result of the last database call made for this object.
  int32_t unused;    // Kept for layout compatibility; always 0.
};

#endif  // DABUTILS_INCLUDE_DABEXPORT_H_
