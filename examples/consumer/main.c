/*
 * Uses an installed dabutils the way the device's web server does: places an
 * uploaded CSV file, imports it, then exports the address book.
 *
 *   consumer DATA_DIR
 */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DABUtils.h"
#include "dabplatform.h"

static const char kUpload[] =
    "First,Last,Display,Company,E-mail,Internet fax\n"
    "Ada,Lovelace,Ada Lovelace,Analytical Engines,ada@example.com,\n"
    "Alan,Turing,\"Turing, Alan\",,alan@example.com,alan.fax@example.com\n";

static int placeUpload(const char* root) {
  char path[4096];
  snprintf(path, sizeof path, "%s/http/data/addressbook.txt", root);
  FILE* upload = fopen(path, "w");
  if (upload == NULL) return -1;
  fputs(kUpload, upload);
  return fclose(upload);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: consumer DATA_DIR\n");
    return 2;
  }
  const char* root = argv[1];
  char dir[4096];
  snprintf(dir, sizeof dir, "%s/http", root);
  mkdir(root, 0777);
  mkdir(dir, 0777);
  snprintf(dir, sizeof dir, "%s/http/data", root);
  mkdir(dir, 0777);
  /* The library changes file modes by relative name: work from the data root. */
  if (chdir(root) != 0 || placeUpload(".") != 0) {
    fprintf(stderr, "consumer: cannot use %s\n", root);
    return 1;
  }
  dabplatform_set_data_root(".");

  char comma[] = "Comma";
  ResultStatus counts = {0, 0};
  if (!AddressBookImport(comma, NULL, NULL, &counts)) {
    fprintf(stderr, "consumer: import failed\n");
    return 1;
  }
  printf("imported: %d created, %d refused\n", counts.successCount, counts.failureCount);
  if (!AdressBookExport(comma, NULL, NULL)) {
    fprintf(stderr, "consumer: export failed\n");
    return 1;
  }
  printf("exported: %s/http/data/ExportedAddressBook.csv\n", root);
  return 0;
}
