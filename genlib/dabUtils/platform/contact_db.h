/*
 * Contact database: the closed component that stores the device's address
 * book. The library reaches it only through the seven functions below.
 *
 * Conventions every implementation must keep:
 *  1. Every function returns a signed 32-bit status; 0 means success and any
 *     other value failure. No handle is passed: a successful
 *     DAB_DBI_Connect() makes the calls that follow work on that connection
 *     until DAB_DBI_Disconnect().
 *  2. Records are laid out word for word as declared here. On the device a
 *     pointer is 32 bits wide and every field is one big-endian word; where
 *     pointers are wider the field order and the 32-bit number fields stay.
 *  3. Text fields point at NUL-terminated UTF-8 strings owned by the database.
 *     A record handed out by the database is never changed by the library,
 *     except the `contacts` cursor of a contact list, which the library
 *     restores before handing the list back.
 *  4. Words named reservedNN (NN = byte offset on the device) are never read
 *     by the library; an implementation may use them as it likes.
 *  5. Threads: the library calls from whichever thread called it (the web
 *     server has several), one operation at a time per process. A
 *     DAB_DBI_Connect(), the calls on its connection and its
 *     DAB_DBI_Disconnect() come from the same thread; the next operation may
 *     come from another.
 *  6. The library opens one connection per operation and never connects
 *     while it holds one, so a real database need not accept a second
 *     DAB_DBI_Connect() while connected. It calls DAB_DBI_Disconnect() after
 *     every DAB_DBI_Connect(), even a failed one, and ignores what that
 *     returns. The stand-in does accept a second one: it keeps one connection
 *     per process, shared by reference count, which every
 *     DAB_DBI_Disconnect() commits and the last one closes. dabtool holds a
 *     connection of its own only while no library call runs.
 */
#ifndef DABUTILS_PLATFORM_CONTACT_DB_H_
#define DABUTILS_PLATFORM_CONTACT_DB_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Names of an individual. */
typedef struct DAB_DBI_Person_t {
  char* firstName;    /* First name. */
  char* lastName;     /* Last name. */
  char* company;      /* Company. */
  int32_t reserved12; /* Zero in records the library creates. */
} DAB_DBI_Person_t;

/* E-mail destination. `address` is never null. */
typedef struct DAB_DBI_Email_t {
  char* address;      /* E-mail address, "" when unset. */
  int32_t reserved4;  /* Zero in records the library creates. */
  int32_t isFavorite; /* 0 = no, 1 = yes. */
} DAB_DBI_Email_t;

/* Internet-fax destination. */
typedef struct DAB_DBI_InternetFax_t {
  char* address;     /* Internet-fax address, "" when unset. */
  int32_t reserved4; /* Zero in records the library creates. */
} DAB_DBI_InternetFax_t;

/* Fax destination. */
typedef struct DAB_DBI_Fax_t {
  char* number; /* Fax number; segments between pairs of '/' are masked on export. */
  int32_t reserved4;
  int32_t reserved8;
  int32_t reserved12;
  int32_t reserved16;
  int32_t reserved20;
  int32_t reserved24;
  int32_t reserved28;
  int32_t isFavorite; /* 0 = no, 1 = yes. */
} DAB_DBI_Fax_t;

/* Position among all favourites. */
typedef struct DAB_DBI_Favorites_t {
  int32_t reserved0;
  int32_t reserved4;
  int32_t reserved8;
  int32_t reserved12;
  int32_t reserved16;
  int32_t reserved20;
  int32_t allFavoritesOrder; /* 1 .. address book limit; -1 = no position. */
} DAB_DBI_Favorites_t;

/* Scan-to-network destination. */
typedef struct DAB_DBI_Scan_t {
  char* nickName;            /* Nickname of the destination. */
  char* serverAddress;       /* "host[:port]" or "[ipv6][:port]"; may be NULL. */
  int32_t serverAddressType; /* 0 or 1 = host and port, 2 = bracketed IPv6. */
  char* documentPath;        /* Folder on the server. */
  char* loginName;           /* Login name on the server. */
  int32_t reserved20;
  int32_t transferProtocol; /* 0 NDS, 1 FTP, 2 SMB, 3..5 further, 6 SFTP. */
  char* shareOrVolume;      /* SMB share (protocol 2) or NDS volume (protocol 0). */
  char* ndsContext;         /* NDS context. */
  char* ndsTree;            /* NDS tree. */
  int32_t reserved40;
  int32_t reserved44;
  int32_t isFavorite; /* 0 = no, 1 = yes. */
} DAB_DBI_Scan_t;

/* Values of DAB_DBI_Contact_t.dlType; any other non-zero value is a group too. */
enum { DAB_DBI_INDIVIDUAL = 0, DAB_DBI_FAX_GROUP = 1, DAB_DBI_EMAIL_GROUP = 2 };

/*
 * One contact or group. For an individual all six sub-record pointers are
 * valid; for a group only email, scan and fax are read.
 */
typedef struct DAB_DBI_Contact_t {
  int32_t id;                         /* Id in the database. */
  int32_t dlType;                     /* 0 individual, 1 fax group, 2 e-mail group, ... */
  char* displayName;                  /* Display name. */
  int32_t reserved12;                 /* Zero in records the library creates. */
  int32_t reserved16;                 /* Zero in records the library creates. */
  DAB_DBI_Person_t* person;           /* Names. */
  DAB_DBI_Email_t* email;             /* E-mail destination. */
  DAB_DBI_InternetFax_t* internetFax; /* Internet-fax destination. */
  DAB_DBI_Scan_t* scan;               /* Scan destination. */
  DAB_DBI_Fax_t* fax;                 /* Fax destination. */
  DAB_DBI_Favorites_t* favorites;     /* Favourites position. */
} DAB_DBI_Contact_t;

/* The whole address book, as handed out by DAB_DBI_GetContactList(). */
typedef struct DAB_DBI_ContactList_t {
  int32_t reserved;            /* Set to 0 by the caller; never read by the library. */
  DAB_DBI_Contact_t* contacts; /* First of a contiguous array of entries. */
} DAB_DBI_ContactList_t;

/* Group memberships of one contact, filled by DAB_DBI_GetAllGroupIds(). */
typedef struct DAB_DBI_GroupIds_t {
  int32_t count; /* Number of ids; 0 or less means none. */
  int32_t* ids;  /* `count` group ids, owned by the database. */
} DAB_DBI_GroupIds_t;

/* Opens the connection. 0 when connected. */
int DAB_DBI_Connect(void);

/* Closes the connection; called after a failed connect too. */
int DAB_DBI_Disconnect(void);

/*
 * Stores the number of entries (contacts and groups) in *count.
 * REQUIRES: count != NULL, *count == 0 on entry. The second argument is 0.
 */
int DAB_DBI_GetContactsCount(int* count, int selector);

/*
 * Fills list->contacts with a contiguous array of every entry.
 * REQUIRES: list points at a zeroed header allocated by the caller with
 * malloc(); the two further arguments are 0.
 * The array holds at least as many entries as the last
 * DAB_DBI_GetContactsCount() of this connection reported; an implementation
 * that cannot guarantee it fails the call instead. Entries, sub-records and
 * strings stay the database's until DAB_DBI_Free_ContactList().
 */
int DAB_DBI_GetContactList(DAB_DBI_ContactList_t* list, int selector, int options);

/*
 * Releases a list header passed to DAB_DBI_GetContactList(), whether or not
 * that call succeeded, with `contacts` holding what the fetch stored. Takes
 * ownership of the header itself, which the library never frees.
 */
int DAB_DBI_Free_ContactList(DAB_DBI_ContactList_t* list);

/*
 * Fills *ids with the ids of the groups that contact `contactId` belongs to.
 * `ids` is allocated by the caller; the id array stays the database's and
 * remains valid at least until the next call or DAB_DBI_Disconnect().
 * The third argument is 1.
 */
int DAB_DBI_GetAllGroupIds(DAB_DBI_GroupIds_t* ids, int contactId, int selector);

/*
 * Creates a contact from `contact` and stores its id in *newContactId.
 * Null sub-record pointers mean "no such destination". The database copies
 * whatever it keeps before it returns: the record and its strings stay the
 * caller's and are reused for the next contact.
 */
int DAB_DBI_CreateContact(DAB_DBI_Contact_t* contact, int* newContactId);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_CONTACT_DB_H_ */
