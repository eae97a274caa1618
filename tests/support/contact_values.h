// Contact values read back out of the DAB_DBI_ records, with test failures
// for anything missing.
#ifndef DABUTILS_TESTS_SUPPORT_CONTACT_VALUES_H_
#define DABUTILS_TESTS_SUPPORT_CONTACT_VALUES_H_

#include <string>

#include "contact_db.h"
#include "contact_record.h"
#include "gtest/gtest.h"

namespace dabtest {

inline std::string checkedText(const char* s, const char* field) {
  if (s == nullptr) ADD_FAILURE() << field << " is NULL";
  return s != nullptr ? s : "";
}

inline ContactValues readContact(const DAB_DBI_Contact_t& c) {
  ContactValues e;
  e.id = c.id;
  e.dlType = c.dlType;
  e.displayName = checkedText(c.displayName, "displayName");
  if (!c.person || !c.email || !c.internetFax || !c.scan || !c.fax || !c.favorites) {
    ADD_FAILURE() << "entry " << c.id << " lacks a sub-record";
    return e;
  }
  e.firstName = checkedText(c.person->firstName, "firstName");
  e.lastName = checkedText(c.person->lastName, "lastName");
  e.company = checkedText(c.person->company, "company");
  e.email = checkedText(c.email->address, "email");
  e.emailFavorite = c.email->isFavorite;
  e.internetFax = checkedText(c.internetFax->address, "internetFax");
  e.faxNumber = checkedText(c.fax->number, "faxNumber");
  e.faxFavorite = c.fax->isFavorite;
  e.allFavoritesOrder = c.favorites->allFavoritesOrder;
  const DAB_DBI_Scan_t& s = *c.scan;
  e.scanNickName = checkedText(s.nickName, "nickName");
  if (s.serverAddress != nullptr) e.scanServerAddress = s.serverAddress;
  e.scanServerAddressType = s.serverAddressType;
  e.scanDocumentPath = checkedText(s.documentPath, "documentPath");
  e.scanLoginName = checkedText(s.loginName, "loginName");
  e.scanTransferProtocol = s.transferProtocol;
  e.scanShareOrVolume = checkedText(s.shareOrVolume, "shareOrVolume");
  e.scanNdsContext = checkedText(s.ndsContext, "ndsContext");
  e.scanNdsTree = checkedText(s.ndsTree, "ndsTree");
  e.scanFavorite = s.isFavorite;
  return e;
}

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_CONTACT_VALUES_H_
