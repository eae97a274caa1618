// The export files' header lines, written out from the format's definition
// rather than taken from the library, so that a changed column name fails.
#ifndef DABUTILS_TESTS_SUPPORT_EXPORT_HEADERS_H_
#define DABUTILS_TESTS_SUPPORT_EXPORT_HEADERS_H_

#include <string>

namespace dabtest {

const std::string kDabHeader =
    "ZltAddressBookId,DisplayName,FirstName,LastName,Company,ZltAllFavoritesOrder,MemberOf,IsDL,"
    "ZltApplicableWorkflows,FaxNumber,ZltIsFaxFavorite,E-mailAddress,ZltIsEmailFavorite,"
    "InternetFaxAddress,ScanNickName,ZltIsScanFavorite,ScanTransferProtocol,ScanServerAddress,"
    "ScanServerPort,ScanDocumentPath,ScanLoginName,ScanLoginPassword,ScanSMBShare,ScanNDSTree,"
    "ScanNDSContext,ScanNDSVolume\r\n";
const std::string kLegacyHeader = "Friendly Name,E-Mail Address,Internet Fax Address\n";

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_EXPORT_HEADERS_H_
