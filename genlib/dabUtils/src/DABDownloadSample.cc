// Sample (template) CSV files.
#include "DABDownloadSample.h"

#include "logging.h"

#define LOG(level, ...) \
  Log_SpecEntry((level), "genlib/dabUtils/src/DABDownloadSample", __LINE__, __VA_ARGS__)

int32_t DABDownloadSample::GenerateSampleDAB(char*, char*, char*, unsigned int) {
  LOG(logSpecLibEnter, "GenerateSampleDAB");
  return 1;  // Not written yet.
}

int32_t DABDownloadSample::GenerateSampleLegacy(char*) {
  LOG(logSpecLibEnter, "GenerateSampleLegacy");
  return 1;  // Not written yet.
}
