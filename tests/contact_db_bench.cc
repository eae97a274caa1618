// Benchmark of the SQLite contact database stand-in at the import limit:
// creates N contacts shaped as the import sends them (a tenth of them group
// members), then fetches the list and every contact's group ids as the DAB
// export does. Prints wall times and how much the resident set grew while
// the list was held.
//
//   contact_db_bench [contacts=65000]
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "contact_db.h"
#include "dabplatform.h"
#include "temp_data_root.h"

namespace {

long residentKib() {
  long pages = 0, resident = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (statm != nullptr) {
    if (fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(statm);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool importContacts(int contacts) {
  char display[64], first[] = "Firstname", last[] = "Lastname", company[] = "Company Ltd";
  char mail[64], ifax[] = "";
  DAB_DBI_Person_t person{first, last, company, 0};
  DAB_DBI_Email_t email{mail, 0, 0};
  DAB_DBI_InternetFax_t internetFax{ifax, 0};
  DAB_DBI_Contact_t record{};
  record.displayName = display;
  record.person = &person;
  record.email = &email;
  record.internetFax = &internetFax;
  if (DAB_DBI_Connect() != 0) return false;
  record.dlType = DAB_DBI_EMAIL_GROUP;
  snprintf(display, sizeof display, "All staff");
  mail[0] = '\0';
  int group = -1;
  bool ok = DAB_DBI_CreateContact(&record, &group) == 0;
  record.dlType = DAB_DBI_INDIVIDUAL;
  for (int i = 1; ok && i < contacts; ++i) {
    snprintf(display, sizeof display, "Contact number %d", i);
    snprintf(mail, sizeof mail, "contact%d@example.org", i);
    int id = -1;
    ok = DAB_DBI_CreateContact(&record, &id) == 0 &&
         (i % 10 != 0 || dabplatform_add_membership(id, group) == 0);
  }
  return DAB_DBI_Disconnect() == 0 && ok;
}

bool exportContacts(long* memberships, long* listKib) {
  long before = residentKib();
  if (DAB_DBI_Connect() != 0) return false;
  int count = 0;
  auto* list = static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)));
  bool ok = list != nullptr && DAB_DBI_GetContactsCount(&count, 0) == 0 &&
            DAB_DBI_GetContactList(list, 0, 0) == 0;
  *listKib = residentKib() - before;  // Connection, list and memberships.
  DAB_DBI_GroupIds_t ids{};
  for (int i = 0; ok && i < count; ++i) {
    ok = DAB_DBI_GetAllGroupIds(&ids, list->contacts[i].id, 1) == 0;
    *memberships += ids.count;
  }
  if (list != nullptr) DAB_DBI_Free_ContactList(list);
  return DAB_DBI_Disconnect() == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  int contacts = argc > 1 ? atoi(argv[1]) : 65000;
  dabtest::TempDataRoot root;
  auto start = std::chrono::steady_clock::now();
  if (!importContacts(contacts)) {
    fprintf(stderr, "import failed: %s\n", dabplatform_database_error());
    return 1;
  }
  double importSeconds = secondsSince(start);
  long memberships = 0, listKib = 0;
  start = std::chrono::steady_clock::now();
  if (!exportContacts(&memberships, &listKib)) {
    fprintf(stderr, "export failed: %s\n", dabplatform_database_error());
    return 1;
  }
  printf(
      "contacts %d: create+disconnect %.3f s; count+list+group ids+free %.3f s "
      "(%ld memberships); resident set +%ld KiB while the list is held\n",
      contacts, importSeconds, secondsSince(start), memberships, listKib);
  return 0;
}
