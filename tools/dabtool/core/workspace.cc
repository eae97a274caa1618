#include "workspace.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "dabplatform.h"
#include "errors.h"
#include "file_io.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

std::string absoluteFrom(const fs::path& base, const std::string& typed) {
  fs::path path(typed);
  if (path.is_relative()) path = base / path;
  return path.lexically_normal().string();
}

}  // namespace

Workspace::Workspace(const GlobalOptions& options) {
  std::error_code error;
  callerDir_ = fs::current_path(error).string();
  if (error) throw Failure("cannot tell the current folder: " + error.message());

  // Until set, the stand-in's own default (DABUTILS_DATA_ROOT or ./dabdata).
  std::string typedRoot = options.dataDir.empty() ? dabplatform_data_root() : options.dataDir;
  root_ = absoluteFrom(callerDir_, typedRoot);
  if (!root_.empty() && root_.size() > 1 && root_.back() == '/') root_.pop_back();
  fs::path httpData = fs::path(root_) / "http" / "data";
  fs::create_directories(httpData, error);
  if (error || !fs::is_directory(httpData)) {
    throw Failure("cannot create the data folder " + shown(root_) + ": " +
                  (error ? error.message() : std::string("a file of that name is in the way")));
  }
  if (::chdir(root_.c_str()) != 0) {
    throw Failure("cannot enter the data folder " + shown(root_) + ": " + errorText(errno));
  }
  database_ = options.database.empty() ? (fs::path(root_) / "addressbook.db").string()
                                       : absoluteFrom(callerDir_, options.database);
  fs::path databaseFolder = fs::path(database_).parent_path();
  if (!fs::is_directory(databaseFolder, error)) {
    throw Failure("the folder of " + shown(database_) + " does not exist");
  }
  dabplatform_set_data_root(root_.c_str());
  dabplatform_set_database_path(database_.c_str());
  dabplatform_set_log_threshold(options.logLevel);
}

std::string Workspace::fixedFile(const char* relativeName) const {
  return (fs::path(root_) / relativeName).string();
}

std::string Workspace::fromCaller(const std::string& typed) const {
  return absoluteFrom(callerDir_, typed);
}

std::string Workspace::shown(const std::string& path) const {
  fs::path relative = fs::path(path).lexically_relative(callerDir_);
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative.string();
}

}  // namespace dabtool
