/*
 * dabutils: moves a device's address book between its contact database and
 * CSV files. These five functions are the library's whole outward face; the
 * device's web server calls them in-process.
 *
 * Conventions:
 *  1. Each function returns 1 on success and 0 on failure. Details of a
 *     failure go to the device log.
 *  2. `delimiterName` must be a valid NUL-terminated text. The exports use
 *     ',' for "Comma" and ';' for any other text; the import and the samples
 *     use ';' for "Semicolon" and ',' for any other text (exact,
 *     case-sensitive comparison).
 *  3. The further text parameters are reserved: they are never read and may
 *     be NULL.
 *  4. Every file has a fixed name in "http/data" below the directory that the
 *     path service gives for "nc_dlms_data".
 *  5. The functions are not re-entrant: one call at a time per process.
 */
#ifndef DABUTILS_INCLUDE_DABUTILS_H_
#define DABUTILS_INCLUDE_DABUTILS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Outcome of an import, written only when the import ran to its end. */
typedef struct ResultStatus {
  int32_t successCount; /* Contacts created. */
  int32_t failureCount; /* Data records completed but not created. */
} ResultStatus;

/* Writes the address book to "http/data/ExportedAddressBook.csv" (26 columns). */
int AdressBookExport(char* delimiterName, char* reserved1, char* reserved2);

/* Writes the individuals with an e-mail address to "http/data/LegacyExportedAddressBook.csv". */
int LegacyAdressBookExport(char* delimiterName, char* reserved1, char* reserved2, char* reserved3);

/*
 * Creates a contact for every data record of the uploaded
 * "http/data/addressbook.txt" and writes the counts to *result.
 * REQUIRES: result != NULL.
 */
int AddressBookImport(char* delimiterName, char* reserved1, char* reserved2, ResultStatus* result);

/*
 * Writes the template "http/data/AddressBookSample.csv" with the column
 * groups that `serviceFlags` selects: 4 fax, 1 e-mail, 2 internet fax, 8 scan.
 */
int GenerateSampleDAB(char* delimiterName, char* reserved1, char* reserved2,
                      unsigned int serviceFlags);

/* Writes the template "http/data/LegacyAddressBookSample.csv". */
int GenerateSampleLegacy(char* delimiterName);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_INCLUDE_DABUTILS_H_ */
