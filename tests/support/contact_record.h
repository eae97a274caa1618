// Contact values as plain C++ data, and the DAB_DBI_ records that carry them
// to the contact database. Free of any test framework, so that the benchmark
// builds its address book with the same pieces as the tests.
#ifndef DABUTILS_TESTS_SUPPORT_CONTACT_RECORD_H_
#define DABUTILS_TESTS_SUPPORT_CONTACT_RECORD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "contact_db.h"

namespace dabtest {

// One entry of the address book. The defaults are what the stand-in database
// stores for a contact created without scan, fax and favourites sub-records.
// Every text becomes a pointer to a NUL-terminated copy, except
// scanServerAddress, which is a null pointer when absent.
struct ContactValues {
  int32_t id = 0;
  int32_t dlType = DAB_DBI_INDIVIDUAL;
  std::string displayName, firstName, lastName, company;
  std::string email;
  int32_t emailFavorite = 0;
  std::string internetFax, faxNumber;
  int32_t faxFavorite = 0;
  int32_t allFavoritesOrder = -1;
  std::string scanNickName;
  std::optional<std::string> scanServerAddress;
  int32_t scanServerAddressType = 0;
  std::string scanDocumentPath, scanLoginName;
  int32_t scanTransferProtocol = 1;
  std::string scanShareOrVolume, scanNdsContext, scanNdsTree;
  int32_t scanFavorite = 0;

  auto fields() const {
    return std::tie(id, dlType, displayName, firstName, lastName, company, email, emailFavorite,
                    internetFax, faxNumber, faxFavorite, allFavoritesOrder, scanNickName,
                    scanServerAddress, scanServerAddressType, scanDocumentPath, scanLoginName,
                    scanTransferProtocol, scanShareOrVolume, scanNdsContext, scanNdsTree,
                    scanFavorite);
  }
  bool operator==(const ContactValues& other) const { return fields() == other.fields(); }
};

// A DAB_DBI_Contact_t with all six sub-records pointing into its own copy
// of a ContactValues.
class ContactRecord {
 public:
  explicit ContactRecord(const ContactValues& entry) : e_(entry) {
    person_ = {e_.firstName.data(), e_.lastName.data(), e_.company.data(), 0};
    email_ = {e_.email.data(), 0, e_.emailFavorite};
    internetFax_ = {e_.internetFax.data(), 0};
    fax_.number = e_.faxNumber.data(), fax_.isFavorite = e_.faxFavorite;
    favorites_.allFavoritesOrder = e_.allFavoritesOrder;
    scan_.nickName = e_.scanNickName.data(), scan_.documentPath = e_.scanDocumentPath.data();
    scan_.serverAddress = e_.scanServerAddress ? e_.scanServerAddress->data() : nullptr;
    scan_.serverAddressType = e_.scanServerAddressType, scan_.isFavorite = e_.scanFavorite;
    scan_.loginName = e_.scanLoginName.data(), scan_.transferProtocol = e_.scanTransferProtocol;
    scan_.shareOrVolume = e_.scanShareOrVolume.data(), scan_.ndsTree = e_.scanNdsTree.data();
    scan_.ndsContext = e_.scanNdsContext.data();
    contact_.id = e_.id, contact_.dlType = e_.dlType, contact_.displayName = e_.displayName.data();
    contact_.person = &person_, contact_.email = &email_, contact_.internetFax = &internetFax_;
    contact_.scan = &scan_, contact_.fax = &fax_, contact_.favorites = &favorites_;
  }
  ContactRecord(const ContactRecord&) = delete;
  ContactRecord& operator=(const ContactRecord&) = delete;
  DAB_DBI_Contact_t* get() { return &contact_; }

 private:
  ContactValues e_;
  DAB_DBI_Contact_t contact_{};
  DAB_DBI_Person_t person_{};
  DAB_DBI_Email_t email_{};
  DAB_DBI_InternetFax_t internetFax_{};
  DAB_DBI_Scan_t scan_{};
  DAB_DBI_Fax_t fax_{};
  DAB_DBI_Favorites_t favorites_{};
};

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_CONTACT_RECORD_H_
