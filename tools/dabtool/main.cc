// dabtool: the address book from the command line. For now it only opens the
// contact database and reports how many entries it holds.
#include <cstdio>

#include "contact_db.h"
#include "dabplatform.h"

int main() {
  if (DAB_DBI_Connect() != 0) {
    std::fprintf(stderr, "dabtool: cannot open the contact database %s\n",
                 dabplatform_database_path());
    DAB_DBI_Disconnect();
    return 1;
  }
  int count = 0;
  int status = DAB_DBI_GetContactsCount(&count, 0);
  DAB_DBI_Disconnect();
  if (status != 0) {
    std::fprintf(stderr, "dabtool: cannot count the contacts\n");
    return 1;
  }
  std::printf("%s: %d entries\n", dabplatform_database_path(), count);
  return 0;
}
