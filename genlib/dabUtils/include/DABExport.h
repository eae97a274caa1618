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
  // quotes (or is NULL, or memory runs out). Caller frees a non-NULL result.
  // A field needs quotes when it holds a comma or a double quote, whatever
  // the file's delimiter; inner double quotes are doubled.
  char* makeCsvSafe(char* field);

  // `text` with every second '/'-separated segment removed, from malloc();
  // NULL only when out of memory. A NULL `text` counts as empty. Caller
  // frees. The result is never longer than `text`.
  char* MaskData(char* text);

  // The CSV protocol number of a database protocol code (4 for an unknown
  // code). Logs nothing.
  int ScanProtocolMapping(int code);

  // The pieces of one DAB line. None writes a trailing delimiter unless it
  // says so; none checks the results of its writes (a full disk truncates
  // the file and the export still counts as done).

  // A text cell: the quoted form when makeCsvSafe gives one, else `text`
  // itself; nothing for a NULL `text`.
  void writeCsvText(FILE* file, char* text);
  // A text cell followed by `delimiter`.
  void writeTextCell(FILE* file, char* text, char delimiter);
  // Cell 7: the ids of the groups that `contactId` belongs to, asked of the
  // database only while dbStatus is 0. `groupIds` is working storage.
  void writeMemberOf(FILE* file, DAB_DBI_GroupIds_t* groupIds, int32_t contactId);
  // Cells 17 to 26 of an individual's line, ending in CR LF.
  void writeScanCells(FILE* file, char delimiter, DAB_DBI_Scan_t* scan);
  // Cells 18 and 19 (host and port of the scan server), each followed by
  // `delimiter`.
  void writeServerAddressCells(FILE* file, char delimiter, DAB_DBI_Scan_t* scan);
  // Whole lines, CR LF included.
  void writeIndividualLine(FILE* file, char delimiter, DAB_DBI_Contact_t* contact,
                           DAB_DBI_GroupIds_t* groupIds);
  void writeGroupLine(FILE* file, char delimiter, DAB_DBI_Contact_t* contact,
                      DAB_DBI_GroupIds_t* groupIds);
  void writeLegacyRow(FILE* file, char delimiter, DAB_DBI_Contact_t* contact);

  int32_t dbStatus;  // Result of the last database call made for this object.
  int32_t unused;    // Kept for layout compatibility; always 0.
};

#endif  // DABUTILS_INCLUDE_DABEXPORT_H_
