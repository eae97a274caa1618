// Stand-in path service: "nc_dlms_data" maps to a data root chosen by the
// program; files are opened below it and never outside it.
#include "path_service.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <new>
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

// fopen() also opens a directory for reading, and every read then fails as
// if the file were empty; callers asked for a file, so a directory is NULL.
FILE* openFile(const fs::path& full, const char* mode) {
  FILE* file = fopen(full.c_str(), mode);
  struct stat status;
  if (file != nullptr && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
    fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace

extern "C" void dabplatform_set_data_root(const char* dir) {
  try {
    dataRoot() = dir ? dir : "";
  } catch (const std::bad_alloc&) {
    // The old root stays: better than a half-set one.
  }
}

extern "C" const char* dabplatform_data_root(void) { return dataRoot().c_str(); }

extern "C" const char* xpaths_get_path(const char* key) {
  if (key == nullptr || strcmp(key, "nc_dlms_data") != 0) return nullptr;
  return dataRoot().c_str();
}

extern "C" FILE* xpaths_open_file(const char* dir, const char* relativeName, const char* mode) {
  if (dir == nullptr || relativeName == nullptr || mode == nullptr) return nullptr;
  try {
    if (!staysInside(relativeName)) return nullptr;
    fs::path full = fs::path(dir) / relativeName;
    if (mode[0] != 'r') {
      std::error_code ignored;  // A failed create shows up as the failed open below.
      fs::create_directories(full.parent_path(), ignored);
    }
    return openFile(full, mode);
  } catch (const std::bad_alloc&) {
    return nullptr;  // Nothing may unwind into the C caller.
  }
}
