// Export of the address book as a DAB or legacy CSV file.
#include "DABExport.h"

#include "logging.h"

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

DABExport::DABExport() : dbStatus(0), unused(0) { dbStatus = DAB_DBI_Connect(); }

DABExport::~DABExport() { dbStatus = DAB_DBI_Disconnect(); }

int DABExport::ExportAddressbook(char*, char*, char*) {
  LOG(logSpecLibEnter, "ExportAddressbook");
  if (dbStatus != 0) return 4;
  return 6;  // Not written yet.
}

int DABExport::LegacyExportAddressbook(char*, char*, char*, char*) {
  LOG(logSpecLibEnter, "LegacyExportAddressbook");
  if (dbStatus != 0) return 4;
  return 6;  // Not written yet.
}

void DABExport::writeToExportFile(FILE*, char, int, DAB_DBI_ContactList_t*) {}

void DABExport::writeToLegacyExportFile(FILE*, char, int, DAB_DBI_ContactList_t*) {}

char* DABExport::makeCsvSafe(char*) { return nullptr; }

char* DABExport::MaskData(char*) { return nullptr; }

int DABExport::ScanProtocolMapping(int) { return 4; }
