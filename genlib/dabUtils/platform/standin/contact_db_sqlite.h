// What the stand-in contact database offers the other stand-ins.
#ifndef DABUTILS_PLATFORM_STANDIN_CONTACT_DB_SQLITE_H_
#define DABUTILS_PLATFORM_STANDIN_CONTACT_DB_SQLITE_H_

namespace dabplatform {

// Commits the contacts created on the open connection, if any, so that a
// second connection of this process can write without waiting on it.
// Throws DbError when the commit fails.
void commitPendingContacts();

}  // namespace dabplatform

#endif  // DABUTILS_PLATFORM_STANDIN_CONTACT_DB_SQLITE_H_
