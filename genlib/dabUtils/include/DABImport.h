// Import of an uploaded CSV file into the contact database.
#ifndef DABUTILS_INCLUDE_DABIMPORT_H_
#define DABUTILS_INCLUDE_DABIMPORT_H_

#include <stdint.h>
#include <stdio.h>

#include "DABUtils.h"
#include "contact_db.h"

// Results (and states) of DABImport::import_address_book_parser.
enum {
  ABA_PARSE_UNQUOTED_FIELD_STATE = 0,
  ABA_PARSE_QUOTED_FIELD_STATE = 1,
  ABA_PARSE_EMBEDDED_QUOTE_STATE = 2,
  ABA_PARSE_END_OF_FIELD_STATE = 4,
  ABA_PARSE_END_OF_RECORD_STATE = 6,
  ABA_PARSE_END_OF_FILE_STATE = 7,
  ABA_PARSE_ERROR_STATE = 8
};

// Longest name value, in UTF-8 characters, that passes validation.
#define MAX_NUMBER_OF_CHARS 255

// The field the parser has just read.
typedef struct AbaPublicAddressParameters {
  int32_t counter;         // Bytes stored in fieldBuffer.
  char fieldBuffer[1024];  // NUL-terminated value, at most 1023 bytes.
} AbaPublicAddressParameters;

// One import. Constructing it connects to the contact database, destroying it
// disconnects (also after a failed connect). Not copyable: it owns that
// connection.
class DABImport {
 public:
  DABImport();
  ~DABImport();
  DABImport(const DABImport&) = delete;
  DABImport& operator=(const DABImport&) = delete;

  // Imports "http/data/addressbook.txt": the first record is the header, every
  // later record becomes one contact. Status codes: 0 ran to its end (counts
  // in *result), 1 not connected, the file does not open or out of memory,
  // 3 a malformed field, 6 a malformed field before the second record.
  // *result is written only with 0. `reserved1` and `reserved2` are not read.
  // Exactly "Semicolon" as delimiterName selects ';', any other text ','.
  int importAddressbook(char* delimiterName, char* reserved1, char* reserved2,
                        ResultStatus* result);

  // Reads one field of `file` into *params and returns how it ended: 4 at the
  // delimiter, 6 at a line end, 7 at the end of the file (the value read is
  // dropped), 8 malformed or `file` is NULL. The caller owns `file`.
  int import_address_book_parser(FILE* file, int delimiter, AbaPublicAddressParameters* params);

  // Validates parserParams' value by its position fieldCnt and copies it into
  // the matching value buffer. Problems go to statusCode; a blank display
  // name or an address over 256 bytes (left empty, never cut) also sets
  // skipRecord so that the data record is not created.
  // REQUIRES: parserParams.fieldBuffer is NUL-terminated.
  void importContactToDB();

  // Steps of importAddressbook, public like every member.
  int runImport(DAB_DBI_Contact_t* record, const char* delimiterName, ResultStatus* result);
  void readFields(DAB_DBI_Contact_t* record);
  void endRecord(DAB_DBI_Contact_t* record);
  void createContact(DAB_DBI_Contact_t* record);
  void clearRecord(DAB_DBI_Contact_t* record);
  void reportCounts(ResultStatus* result);
  // Steps of importContactToDB.
  void importName(int position);
  void importAddress(int position);
  char* valueBuffer(int position);  // NULL for positions 6 and above.

  int32_t dbStatus;                         // Result of the last database call.
  AbaPublicAddressParameters parserParams;  // Field just read.
  int32_t firstRecord;                      // Next completed record is the header.
  int32_t skipRecord;                       // Next completed data record is not created.
  int32_t stopImport;                       // Set on a parse error; ends the loop.
  int32_t recordsImported;                  // Contacts created.
  int32_t newContactId;                     // Id given by the database; not read.
  int32_t recordNumber;                     // Completed records, header included.
  int32_t fieldCnt;                         // 0-based position of the current field.
  int32_t contactsCount;                    // Contacts in the database.
  int32_t delimiter;                        // ',' or ';'.
  int32_t parserState;                      // Last parser result.
  int32_t statusCode;                       // Import status code.
  char firstName[1025];                     // Field 0.
  char lastName[1025];                      // Field 1.
  char company[1025];                       // Field 3.
  char displayName[1025];                   // Field 2.
  char email[257];                          // Field 4.
  char ifax[257];                           // Field 5.
};

#endif  // DABUTILS_INCLUDE_DABIMPORT_H_
