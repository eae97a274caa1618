// Stand-in path service: "nc_dlms_data" maps to a data root chosen by the
// program; files are opened below it and never outside it.
#include "path_service.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The open(2) flags of an fopen() mode ("r", "w", "a", each with "+").
int openFlags(const char* mode) {
  bool update = strchr(mode, '+') != nullptr;
  switch (mode[0]) {
    case 'r':
      return update ? O_RDWR : O_RDONLY;
    case 'w':
      return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    case 'a':
      return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default:
      return -1;
  }
}

// A symbolic link at the final name is not followed: whoever can write the
// data folder could otherwise have any file of this process's user
// overwritten (and given mode 0666) or read out as an upload. fopen() also
// opens a directory for reading, and every read then fails as if the file
// were empty; callers asked for a file, so a directory is NULL too.
FILE* openFile(const fs::path& full, const char* mode) {
  int flags = openFlags(mode);
  if (flags < 0) return nullptr;
  int fd = open(full.c_str(), flags | O_NOFOLLOW, 0666);
  if (fd < 0) return nullptr;
  struct stat status;
  FILE* file = fstat(fd, &status) == 0 && !S_ISDIR(status.st_mode) ? fdopen(fd, mode) : nullptr;
  if (file == nullptr) close(fd);
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
