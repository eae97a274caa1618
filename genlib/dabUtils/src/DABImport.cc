// Import of an uploaded CSV file into the contact database.
#include "DABImport.h"

#include <string.h>

#include "contact_db.h"
#include "logging.h"

#define LOG(level, ...) \
  Log_SpecEntry((level), "genlib/dabUtils/src/DABImport", __LINE__, __VA_ARGS__)

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

int DABImport::importAddressbook(char*, char*, char*, ResultStatus*) {
  LOG(logSpecLibEnter, "importAddressbook");
  if (dbStatus != 0) {
    LOG(logSpecDebug, "Connection not estabilished");
    return 1;
  }
  return 1;  // Not written yet.
}

int DABImport::import_address_book_parser(FILE*, int, AbaPublicAddressParameters*) {
  return ABA_PARSE_ERROR_STATE;
}

void DABImport::importContactToDB() {}
