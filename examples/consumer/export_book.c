/*
 * Exports the address book through the library's entry points alone, as the
 * device's web server does. Since it names no platform function itself, only
 * the order of the libraries on its link line brings the platform in. The
 * stand-in platform finds the data under $DABUTILS_DATA_ROOT.
 *
 *   DABUTILS_DATA_ROOT=DATA_DIR export_book
 */
#include <stdio.h>

#include "DABUtils.h"

int main(void) {
  char comma[] = "Comma";
  if (!AdressBookExport(comma, NULL, NULL)) {
    fprintf(stderr, "export_book: export failed\n");
    return 1;
  }
  return 0;
}
