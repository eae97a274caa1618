// The five C entry points: each runs one service method on a service object
// that lives exactly as long as the call.
#include "DABUtils.h"

#include "DABDownloadSample.h"
#include "DABExport.h"
#include "DABImport.h"
#include "logging.h"
#include "record_layout.h"  // Stops the build unless the records match the device.

#define LOG(level, ...) \
  Log_SpecEntry((level), "genlib/dabUtils/src/DABUtils", __LINE__, __VA_ARGS__)

namespace {

// Constructs a Service, runs `method` on it and folds the status into 1 or 0.
// The object is destroyed on every way out, so export and import objects
// always disconnect. A failed allocation inside the method ends the call with
// 0; it must not unwind into the C caller.
template <typename Service, typename Method>
int runService(const char* failureLine, Method method) noexcept {
  try {
    Service service;
    if (method(service) == 0) return 1;
    LOG(logSpecError, "%s", failureLine);
  } catch (...) {
  }
  return 0;
}

}  // namespace

extern "C" int AdressBookExport(char* delimiterName, char* reserved1, char* reserved2) {
  LOG(logSpecLibEnter, "AdressBookExport");
  return runService<DABExport>("Could not Export Addressbook", [&](DABExport& service) {
    return service.ExportAddressbook(delimiterName, reserved1, reserved2);
  });
}

extern "C" int LegacyAdressBookExport(char* delimiterName, char* reserved1, char* reserved2,
                                      char* reserved3) {
  LOG(logSpecLibEnter, "LegacyAdressBookExport");
  return runService<DABExport>("Could not Export Legacy Addressbook", [&](DABExport& service) {
    return service.LegacyExportAddressbook(delimiterName, reserved1, reserved2, reserved3);
  });
}

extern "C" int AddressBookImport(char* delimiterName, char* reserved1, char* reserved2,
                                 ResultStatus* result) {
  LOG(logSpecLibEnter, "AddressBookImport");
  return runService<DABImport>("Could not Import Addressbook", [&](DABImport& service) {
    return service.importAddressbook(delimiterName, reserved1, reserved2, result);
  });
}

extern "C" int GenerateSampleDAB(char* delimiterName, char* reserved1, char* reserved2,
                                 unsigned int serviceFlags) {
  LOG(logSpecLibEnter, "GenerateSampleDAB");
  return runService<DABDownloadSample>(
      "Could not Generate sample DAB", [&](DABDownloadSample& service) {
        return service.GenerateSampleDAB(delimiterName, reserved1, reserved2, serviceFlags);
      });
}

extern "C" int GenerateSampleLegacy(char* delimiterName) {
  LOG(logSpecLibEnter, "GenerateSampleLegacy");
  return runService<DABDownloadSample>(
      "Could not Generate sample Legacy",
      [&](DABDownloadSample& service) { return service.GenerateSampleLegacy(delimiterName); });
}
