/*
 * The public header as a C program sees it: all five entry points called
 * from C against the stand-in platform, on a fresh data root.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DABUtils.h"
#include "dabplatform.h"

static int failures = 0;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                              \
    }                                                                          \
  } while (0)

/* The first line of `path`, line end included ("" when it does not open). */
static const char* firstLine(const char* path) {
  static char line[1024];
  FILE* f = fopen(path, "r");
  line[0] = '\0';
  if (f != NULL) {
    if (fgets(line, sizeof line, f) == NULL) line[0] = '\0';
    fclose(f);
  }
  return line;
}

static void writeUpload(void) {
  FILE* f = fopen("http/data/addressbook.txt", "w");
  CHECK(f != NULL);
  if (f == NULL) return;
  fputs("First;Last;Display;Company;Email;Ifax\r\n", f);
  fputs("Grace;Hopper;Grace Hopper;Navy;grace@example.com;\r\n", f);
  fputs("Edsger;Dijkstra;;;edsger@example.com;\r\n", f); /* blank display name */
  fclose(f);
}

int main(void) {
  char root[] = "/tmp/dabctest.XXXXXX";
  CHECK(mkdtemp(root) != NULL);
  CHECK(chdir(root) == 0);
  CHECK(mkdir("http", 0777) == 0 && mkdir("http/data", 0777) == 0);
  dabplatform_set_data_root(root);

  char semicolon[] = "Semicolon";
  char comma[] = "Comma";
  ResultStatus counts = {-1, -1};
  writeUpload();
  CHECK(AddressBookImport(semicolon, NULL, NULL, &counts) == 1);
  CHECK(counts.successCount == 1 && counts.failureCount == 1);

  CHECK(AdressBookExport(comma, NULL, NULL) == 1);
  CHECK(strncmp(firstLine("http/data/ExportedAddressBook.csv"), "ZltAddressBookId,DisplayName,",
                29) == 0);
  CHECK(LegacyAdressBookExport(semicolon, NULL, NULL, NULL) == 1);
  CHECK(strcmp(firstLine("http/data/LegacyExportedAddressBook.csv"),
               "Friendly Name;E-Mail Address;Internet Fax Address\n") == 0);
  CHECK(GenerateSampleDAB(comma, NULL, NULL, 0u) == 1);
  CHECK(strncmp(firstLine("http/data/AddressBookSample.csv"), "*****,ZltAddressBookId,", 23) == 0);
  CHECK(GenerateSampleLegacy(semicolon) == 1);
  CHECK(strcmp(firstLine("http/data/LegacyAddressBookSample.csv"),
               "Friendly Name;E-Mail Address;InternetFax Address\n") == 0);

  char command[64];
  snprintf(command, sizeof command, "rm -rf %s", root);
  CHECK(system(command) == 0);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
