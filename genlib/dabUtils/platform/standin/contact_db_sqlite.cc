// Stand-in contact database on SQLite. Not written yet.
#include <stdlib.h>

#include "contact_db.h"
#include "dabplatform.h"

extern "C" int DAB_DBI_Connect(void) { return 1; }
extern "C" int DAB_DBI_Disconnect(void) { return 0; }
extern "C" int DAB_DBI_GetContactsCount(int*, int) { return 1; }
extern "C" int DAB_DBI_GetContactList(DAB_DBI_ContactList_t*, int, int) { return 1; }
extern "C" int DAB_DBI_Free_ContactList(DAB_DBI_ContactList_t* list) {
  free(list);
  return 0;
}
extern "C" int DAB_DBI_GetAllGroupIds(DAB_DBI_GroupIds_t*, int, int) { return 1; }
extern "C" int DAB_DBI_CreateContact(DAB_DBI_Contact_t*, int*) { return 1; }
extern "C" void dabplatform_set_database_path(const char*) {}
extern "C" const char* dabplatform_database_path(void) { return ""; }
extern "C" int dabplatform_add_membership(int, int) { return 1; }
