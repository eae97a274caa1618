// dabtool's own view of the contact database, through the same DAB_DBI_*
// calls the library makes: reading every entry for a listing, counting, and
// creating contacts, groups and memberships for a seed.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_ADDRESS_BOOK_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_ADDRESS_BOOK_H_

#include <string>
#include <vector>

namespace dabtool {

// The texts an entry of the book has, whether read or to be created.
struct EntryTexts {
  std::string displayName;
  std::string firstName;
  std::string lastName;
  std::string company;
  std::string email;
  std::string internetFax;
  std::string faxNumber;
};

// One entry of the book, copied out of the database's records.
struct BookEntry : EntryTexts {
  int id = 0;
  int dlType = 0;  // 0 individual, 1 fax group, 2 e-mail group, other: group
  std::string scanNickName;
  int scanProtocol = -1;  // database protocol code; -1 without a scan destination
  int favoritesOrder = -1;
  bool faxFavorite = false;
  bool emailFavorite = false;
  bool scanFavorite = false;
  std::vector<int> groups;  // ids of the groups the entry belongs to
};

// A scan destination to create; texts as the database stores them.
struct NewScan {
  std::string nickName;
  std::string serverAddress;
  bool hasServerAddress = true;
  int serverAddressType = 0;
  std::string documentPath;
  std::string loginName;
  int transferProtocol = 1;
  std::string shareOrVolume;
  std::string ndsContext;
  std::string ndsTree;
  bool favorite = false;
};

// A contact or group to create.
struct NewEntry : EntryTexts {
  int dlType = 0;
  bool hasScan = false;
  NewScan scan;
  int favoritesOrder = -1;
  bool faxFavorite = false;
  bool emailFavorite = false;
};

// A connection to the contact database for the object's lifetime. The
// library's entry points open their own connection: never call one while an
// AddressBook is alive.
class AddressBook {
 public:
  // Throws Failure when the database refuses the connection.
  AddressBook();
  ~AddressBook();
  AddressBook(const AddressBook&) = delete;
  AddressBook& operator=(const AddressBook&) = delete;

  // Number of entries, contacts and groups together.
  int count();
  // Every entry with its group memberships, in the database's order.
  std::vector<BookEntry> entries();
  // Creates the entry and returns its id. Throws Failure.
  int create(const NewEntry& entry);
  // Throws Failure.
  void addMembership(int contactId, int groupId);
  // Removes the entry with its memberships, as member and as group. Throws
  // Failure.
  void remove(int id);
  // Disconnects; the database saves pending writes then. Throws Failure
  // when it could not.
  void close();

 private:
  bool open_ = true;
};

// Points the contact database at another file for the object's lifetime.
class UseDatabaseFile {
 public:
  explicit UseDatabaseFile(const std::string& path);
  ~UseDatabaseFile();
  UseDatabaseFile(const UseDatabaseFile&) = delete;
  UseDatabaseFile& operator=(const UseDatabaseFile&) = delete;

 private:
  std::string previous_;
};

// Number of entries in the book, with a connection of its own.
int countEntries();

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_ADDRESS_BOOK_H_
