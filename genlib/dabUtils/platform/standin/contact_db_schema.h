// Tables and statements of the stand-in contact database.
//
// One row of `contacts` holds an entry with everything its sub-records carry;
// `memberships` lists, per contact, the groups it belongs to in a stable
// order. The column order of kSelectContacts is the Column enum below, and
// kInsertContact binds parameter ?N to column N, so the two stay in step.
#ifndef DABUTILS_PLATFORM_STANDIN_CONTACT_DB_SCHEMA_H_
#define DABUTILS_PLATFORM_STANDIN_CONTACT_DB_SCHEMA_H_

#include <sqlite3.h>

namespace dabplatform {

// Columns of kSelectContacts; also the parameter numbers of kInsertContact.
enum Column {
  kId = 0,
  kDlType,
  kDisplayName,
  kFirstName,
  kLastName,
  kCompany,
  kEmailAddress,
  kEmailFavorite,
  kInternetFaxAddress,
  kFaxNumber,
  kFaxFavorite,
  kScanNickName,
  kScanServerAddress,  // The one nullable text: NULL means no server.
  kScanServerAddressType,
  kScanDocumentPath,
  kScanLoginName,
  kScanTransferProtocol,
  kScanShareOrVolume,
  kScanNdsContext,
  kScanNdsTree,
  kScanFavorite,
  kAllFavoritesOrder,
  kColumnCount
};

// Defaults for a contact created without the sub-record that carries them;
// the table's DEFAULT clauses hold the same values.
constexpr int kDefaultTransferProtocol = 1;  // FTP, the protocol the sample template lists first.
constexpr int kDefaultServerAddressType = 0;
constexpr int kNoFavoritesOrder = -1;

extern const char* const kSelectContacts;      // Every entry, by id.
extern const char* const kInsertContact;       // ?1..?21 as Column; the id is assigned.
extern const char* const kInsertPlainContact;  // ?1..?8 as Column; defaults for the rest.
extern const char* const kCountContacts;       // One integer.
extern const char* const kSelectMemberships;   // (contact id, group id) by contact, in order.
extern const char* const kSelectGroupsOf;      // Group ids of contact ?1, in order.
extern const char* const kSelectKind;          // dlType of entry ?1; no row when missing.
extern const char* const kInsertMembership;    // Contact ?1 joins group ?2 at the end.
extern const char* const kDeleteMemberships;   // Every membership naming entry ?1.
extern const char* const kDeleteContact;       // Entry ?1.

// Creates the tables of an empty file; refuses a file written by a newer
// schema. Takes the write lock only when something has to be created.
void prepareSchema(sqlite3* db);

}  // namespace dabplatform

#endif  // DABUTILS_PLATFORM_STANDIN_CONTACT_DB_SCHEMA_H_
