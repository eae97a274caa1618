// A fresh, empty data root for one test against the stand-in platform: the
// path service and the contact database point into it while the object
// lives; afterwards every connection is closed and the directory removed.
#ifndef DABUTILS_TESTS_SUPPORT_TEMP_DATA_ROOT_H_
#define DABUTILS_TESTS_SUPPORT_TEMP_DATA_ROOT_H_

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "contact_db.h"
#include "dabplatform.h"

namespace dabtest {

class TempDataRoot {
 public:
  TempDataRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dabtest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    dabplatform_set_data_root(path_.c_str());
    dabplatform_set_database_path(nullptr);
  }
  ~TempDataRoot() {
    while (DAB_DBI_Disconnect() == 0) {
    }
    dabplatform_set_database_path(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDataRoot(const TempDataRoot&) = delete;
  TempDataRoot& operator=(const TempDataRoot&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& relative) const {
    return (std::filesystem::path(path_) / relative).string();
  }

 private:
  std::string path_;
};

}  // namespace dabtest

#endif  // DABUTILS_TESTS_SUPPORT_TEMP_DATA_ROOT_H_
