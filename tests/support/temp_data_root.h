// A fresh, empty data root for one test against the stand-in platform: the
// path service and the contact database point into it while the object
// lives; afterwards every connection is closed and the directory removed.
#ifndef DABUTILS_TESTS_SUPPORT_TEMP_DATA_ROOT_H_
#define DABUTILS_TESTS_SUPPORT_TEMP_DATA_ROOT_H_

#include <string>

#include "contact_db.h"
#include "dabplatform.h"
#include "files_and_text.h"

namespace dabtest {

class TempDataRoot {
 public:
  TempDataRoot() {
    dabplatform_set_data_root(path_.c_str());
    dabplatform_set_database_path(nullptr);
  }
  ~TempDataRoot() {
    while (DAB_DBI_Disconnect() == 0) {
    }
    dabplatform_set_database_path(nullptr);
  }
  TempDataRoot(const TempDataRoot&) = delete;
  TempDataRoot& operator=(const TempDataRoot&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& relative) const { return dir_.at(relative).string(); }

 private:
  testutil::TempDir dir_;  // removed after the connections are closed
  std::string path_ = dir_.dir_.string();
};

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_TEMP_DATA_ROOT_H_
