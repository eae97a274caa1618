// Sample (template) CSV files that show the expected columns.
#ifndef DABUTILS_INCLUDE_DABDOWNLOADSAMPLE_H_
#define DABUTILS_INCLUDE_DABDOWNLOADSAMPLE_H_

#include <stdint.h>

#define HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE "http/data/AddressBookSample.csv"
#define HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE "http/data/LegacyAddressBookSample.csv"

// Writes the sample files. Holds no data and never touches the database.
//
// Both methods rewrite their file under the "nc_dlms_data" directory of the
// path service. Cells are joined by ";" when `delimiterName` is exactly
// "Semicolon" and by "," for any other name; rows end in LF, the last one in
// nothing. A NULL `delimiterName` is taken as a name other than "Semicolon":
// the file is written with "," and nothing is logged.
class DABDownloadSample {
 public:
  DABDownloadSample() {}
  ~DABDownloadSample() {}

  // Writes HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE: a header row, a row of value
  // descriptions, a sample individual and a sample group. Bits of
  // `serviceFlags` add column groups: 4 fax, 1 e-mail, 2 internet fax,
  // 8 scan; other bits are ignored. The reserved texts are not read and may
  // be NULL. Returns 0 when written, 1 when the file could not be opened.
  int32_t GenerateSampleDAB(char* delimiterName, char* reserved1, char* reserved2,
                            unsigned int serviceFlags);

  // Writes HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE: a header line and one
  // sample contact. Returns 0 when written, 1 when the file could not be
  // opened.
  int32_t GenerateSampleLegacy(char* delimiterName);
};

#endif  // DABUTILS_INCLUDE_DABDOWNLOADSAMPLE_H_
