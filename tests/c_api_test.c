/*
 * The public header as a C program sees it: all five entry points called
 * from C against the stand-in platform, on a fresh data root. What the files
 * hold is export_test's and download_sample_test's, and dabtool_test's on the
 * stand-in; here each call succeeds and the import fills the caller's counts.
 */
#include <stdio.h>
#include <stdlib.h>
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
  CHECK(LegacyAdressBookExport(semicolon, NULL, NULL, NULL) == 1);
  CHECK(GenerateSampleDAB(comma, NULL, NULL, 0u) == 1);
  CHECK(GenerateSampleLegacy(semicolon) == 1);

  char command[64];
  snprintf(command, sizeof command, "rm -rf %s", root);
  CHECK(system(command) == 0);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
