// Stand-in path service: "nc_dlms_data" maps to a data root chosen by the
// program; files are opened below it and never outside it.
#include "path_service.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "dabplatform.h"

namespace fs = std::filesystem;

namespace {

std::string& dataRoot() {
  static std::string root = [] {
    const char* env = getenv("DABUTILS_DATA_ROOT");
    return std::string(env && *env ? env : "./dabdata");
  }();
  return root;
}

// True when `relativeName` stays below its directory: not absolute, no ".."
// component, not empty.
bool staysInside(const char* relativeName) {
  fs::path name(relativeName);
  if (name.empty() || name.is_absolute() || name.has_root_name()) return false;
  for (const fs::path& part : name) {
    if (part == "..") return false;
  }
  return true;
}

}  // namespace

extern "C" void dabplatform_set_data_root(const char* dir) { dataRoot() = dir ? dir : ""; }

extern "C" const char* dabplatform_data_root(void) { return dataRoot().c_str(); }

extern "C" const char* xpaths_get_path(const char* key) {
  if (key == nullptr || strcmp(key, "nc_dlms_data") != 0) return nullptr;
  return dataRoot().c_str();
}

extern "C" FILE* xpaths_open_file(const char* dir, const char* relativeName, const char* mode) {
  if (dir == nullptr || relativeName == nullptr || mode == nullptr) return nullptr;
  if (!staysInside(relativeName)) return nullptr;
  fs::path full = fs::path(dir) / relativeName;
  if (mode[0] != 'r') {
    std::error_code ignored;  // A failed create shows up as the failed open below.
    fs::create_directories(full.parent_path(), ignored);
  }
  return fopen(full.c_str(), mode);
}
