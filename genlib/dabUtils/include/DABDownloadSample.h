// Sample (template) CSV files that show the expected columns.
#ifndef DABUTILS_INCLUDE_DABDOWNLOADSAMPLE_H_
#define DABUTILS_INCLUDE_DABDOWNLOADSAMPLE_H_

#include <stdint.h>

#define HTTP_ADDRESS_BOOK_SAMPLE_TEMP_FILE "http/data/AddressBookSample.csv"
#define HTTP_LEGACY_ADDRESS_BOOK_SAMPLE_TEMP_FILE "http/data/LegacyAddressBookSample.csv"

// Writes the sample files. Holds no data and never touches the database.
class DABDownloadSample {
 public:
  DABDownloadSample() {}
  ~DABDownloadSample() {}

  // 0 when the file was written, 1 when it could not be opened.
  int32_t GenerateSampleDAB(char* delimiterName, char* reserved1, char* reserved2,
                            unsigned int serviceFlags);
  int32_t GenerateSampleLegacy(char* delimiterName);
};

#endif  // DABUTILS_INCLUDE_DABDOWNLOADSAMPLE_H_
