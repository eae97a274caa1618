// Contact values read back out of the DAB_DBI_ records, with test failures
// for anything missing.
#ifndef DABUTILS_TESTS_SUPPORT_CONTACT_VALUES_H_
#define DABUTILS_TESTS_SUPPORT_CONTACT_VALUES_H_

#include <string>

#include "contact_db.h"
#include "contact_record.h"
#include "gtest/gtest.h"

namespace dabtest {

inline ContactValues readContact(const DAB_DBI_Contact_t& c) {
  ContactValues e;
  auto text = [](const char* s, const char* field) {
    if (s == nullptr) ADD_FAILURE() << field << " is NULL";
    return s != nullptr ? s : "";
  };
  e.id = c.id, e.dlType = c.dlType, e.displayName = text(c.displayName, "displayName");
  if (!c.person || !c.email || !c.internetFax || !c.scan || !c.fax || !c.favorites) {
    ADD_FAILURE() << "entry " << c.id << " lacks a sub-record";
    return e;
  }
  e.firstName = text(c.person->firstName, "firstName");
  e.lastName = text(c.person->lastName, "lastName"), e.company = text(c.person->company, "company");
  e.email = text(c.email->address, "email"), e.emailFavorite = c.email->isFavorite;
  e.internetFax = text(c.internetFax->address, "internetFax");
  e.faxNumber = text(c.fax->number, "faxNumber"), e.faxFavorite = c.fax->isFavorite;
  e.allFavoritesOrder = c.favorites->allFavoritesOrder;
  const DAB_DBI_Scan_t& s = *c.scan;
  e.scanNickName = text(s.nickName, "nickName"), e.scanFavorite = s.isFavorite;
  if (s.serverAddress != nullptr) e.scanServerAddress = s.serverAddress;
  e.scanServerAddressType = s.serverAddressType, e.scanTransferProtocol = s.transferProtocol;
  e.scanDocumentPath = text(s.documentPath, "documentPath");
  e.scanLoginName = text(s.loginName, "loginName");
  e.scanShareOrVolume = text(s.shareOrVolume, "shareOrVolume");
  e.scanNdsContext = text(s.ndsContext, "ndsContext"), e.scanNdsTree = text(s.ndsTree, "ndsTree");
  return e;
}

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_CONTACT_VALUES_H_
