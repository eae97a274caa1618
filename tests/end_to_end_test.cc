// The library on the SQLite stand-in, as the web server uses it: contacts
// created in the database come out of both exports, and an uploaded file
// comes back out of the database.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DABUtils.h"
#include "contact_db.h"
#include "contact_values.h"
#include "dabplatform.h"
#include "export_headers.h"
#include "gtest/gtest.h"
#include "temp_data_root.h"

namespace dabtest {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int create(const ContactValues& values) {
  ContactRecord record(values);
  int id = -1;
  EXPECT_EQ(0, DAB_DBI_CreateContact(record.get(), &id)) << dabplatform_database_error();
  return id;
}

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(root_.path());
  }
  ~EndToEndTest() override { std::filesystem::current_path(previous_); }

  std::string dataFile(const std::string& name) const { return root_.file("http/data/" + name); }

  TempDataRoot root_;
  std::filesystem::path previous_;
};

TEST_F(EndToEndTest, ContactsInTheDatabaseComeOutOfBothExports) {
  ASSERT_EQ(0, DAB_DBI_Connect());
  ContactValues john, nomail, faxGroup, mailGroup;
  john.displayName = "Doe, John", john.firstName = "Jürgen", john.lastName = "Doe";
  john.company = "Acme \"Labs\"", john.email = "john@example.com";
  john.internetFax = "john.fax@example.com", john.faxNumber = "0049/1234/5678";
  john.allFavoritesOrder = 3, john.faxFavorite = 1, john.scanNickName = "Scans";
  john.scanServerAddress = "[fd00::5]:2121", john.scanServerAddressType = 2;
  john.scanDocumentPath = "/in", john.scanLoginName = "jdoe";
  john.scanTransferProtocol = 2;  // SMB: the share goes to its own column.
  john.scanShareOrVolume = "public", john.scanNdsContext = "ctx", john.scanNdsTree = "tree";
  nomail.displayName = "No Mail", nomail.scanServerAddress = "10.0.0.1";
  faxGroup.dlType = DAB_DBI_FAX_GROUP, faxGroup.displayName = "Fax team", faxGroup.faxFavorite = 1;
  mailGroup.dlType = DAB_DBI_EMAIL_GROUP, mailGroup.displayName = "Mail team";
  int johnId = create(john), nomailId = create(nomail);
  int faxGroupId = create(faxGroup), mailGroupId = create(mailGroup);
  ASSERT_EQ(0, dabplatform_add_membership(johnId, mailGroupId));
  ASSERT_EQ(0, dabplatform_add_membership(johnId, faxGroupId));
  ASSERT_EQ(0, DAB_DBI_Disconnect());

  char comma[] = "Comma";
  ASSERT_EQ(1, AdressBookExport(comma, nullptr, nullptr));
  // No membership: the stand-in's empty answer leaves MemberOf empty.
  EXPECT_EQ(slurp(dataFile("ExportedAddressBook.csv")),
            kDabHeader + std::to_string(johnId) +
                ",\"Doe, John\",Jürgen,Doe,\"Acme \"\"Labs\"\"\",3,\"\"\"" +
                std::to_string(mailGroupId) + "," + std::to_string(faxGroupId) +
                "\"\"\",0,,0049//5678,1,john@example.com,0,john.fax@example.com,Scans,0,3,"
                "[fd00::5],2121,/in,jdoe,,public,tree,ctx,\r\n" +
                std::to_string(nomailId) + ",No Mail,,,,,,0,,,0,,0,,,0,1,10.0.0.1,0,,,,,,,\r\n" +
                std::to_string(faxGroupId) + ",Fax team,,,,,,1,Fax,,1,,0,,,0,,,,,,,,,,\r\n" +
                std::to_string(mailGroupId) + ",Mail team,,,,,,2,Email,,0,,0,,,0,,,,,,,,,,\r\n");

  ASSERT_EQ(1, LegacyAdressBookExport(comma, nullptr, nullptr, nullptr));
  EXPECT_EQ(slurp(dataFile("LegacyExportedAddressBook.csv")),
            kLegacyHeader + "\"Doe, John\",john@example.com,john.fax@example.com\r\n");

  int audits = 0;
  dabplatform_audit_records([](void* n, const char*, const char*) { ++*static_cast<int*>(n); },
                            &audits, 0);
  EXPECT_EQ(2, audits) << "one audit record per export";
}

TEST_F(EndToEndTest, UploadedFileLandsInTheDatabase) {
  std::filesystem::create_directories(root_.file("http/data"));
  std::ofstream(dataFile("addressbook.txt"), std::ios::binary)
      << "First;Last;Display;Company;Email;Ifax\r\n"
         "Zoë;Ünal;\"Ünal; Zoë\";\"Multi\nline\";zoe@example.com;zoe.fax@example.com\r\n"
         "Bo;Li;\"Bo \"\"the\"\" Li\";;bo@example.com;\r\n"
         "No;Display;;;x@example.com;\r\n";
  char semicolon[] = "Semicolon";
  ResultStatus counts{-1, -1};
  ASSERT_EQ(1, AddressBookImport(semicolon, nullptr, nullptr, &counts));
  EXPECT_EQ(2, counts.successCount);
  EXPECT_EQ(1, counts.failureCount);

  ASSERT_EQ(0, DAB_DBI_Connect());
  int count = 0;
  ASSERT_EQ(0, DAB_DBI_GetContactsCount(&count, 0));
  ASSERT_EQ(2, count);
  auto* list = static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)));
  ASSERT_EQ(0, DAB_DBI_GetContactList(list, 0, 0));
  const DAB_DBI_Contact_t& zoe = list->contacts[0];
  EXPECT_STREQ(zoe.displayName, "Ünal; Zoë");
  EXPECT_STREQ(zoe.person->firstName, "Zoë");
  EXPECT_STREQ(zoe.person->company, "Multi line");
  EXPECT_STREQ(zoe.email->address, "zoe@example.com");
  EXPECT_STREQ(zoe.internetFax->address, "zoe.fax@example.com");
  EXPECT_EQ(zoe.dlType, DAB_DBI_INDIVIDUAL);
  EXPECT_STREQ(list->contacts[1].displayName, "Bo \"the\" Li");
  EXPECT_STREQ(list->contacts[1].internetFax->address, "");
  DAB_DBI_Free_ContactList(list);
  EXPECT_EQ(0, DAB_DBI_Disconnect());
}

}  // namespace
}  // namespace dabtest
