#include "workspace.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

std::string userName(uid_t uid) {
  struct passwd* user = ::getpwuid(uid);
  return (user ? std::string(user->pw_name) + " " : std::string()) + "(uid " + std::to_string(uid) +
         ")";
}

// A group of the user's own: their primary group with no other members, as
// Debian gives each user. Writable by that group is writable by them alone.
bool ownPrivateGroup(gid_t gid) {
  if (gid != ::getegid()) return false;
  struct group* entry = ::getgrgid(gid);
  struct passwd* user = ::getpwuid(::geteuid());
  if (entry == nullptr || user == nullptr) return false;
  for (char** member = entry->gr_mem; *member != nullptr; ++member) {
    if (std::string(*member) != user->pw_name) return false;
  }
  return true;
}

}  // namespace

// Whoever may write a folder where dabtool and the library write files of
// fixed names could put a link there and have them overwrite any file of
// this user; so the folder must be this user's, and theirs alone to write.
void Workspace::checkFolderIsOwn(const std::string& folder) const {
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) {
    throw Failure("cannot check the data folder " + shown(folder) + ": " + errorText(errno));
  }
  if (info.st_uid != ::geteuid()) {
    throw Failure("the data folder " + shown(folder) + " belongs to user " + userName(info.st_uid) +
                  ", not to you: they could have dabtool overwrite " +
                  "your files through it; use a folder of your own (--data-dir)");
  }
  bool othersWrite = (info.st_mode & S_IWOTH) != 0;
  bool groupWrites = (info.st_mode & S_IWGRP) != 0 && !ownPrivateGroup(info.st_gid);
  if (othersWrite || groupWrites) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    throw Failure("the data folder " + shown(folder) + " can be written by " +
                  (othersWrite ? "every user" : "other users of its group") + " (mode " + mode +
                  "): they could have dabtool overwrite your files through it; make it yours "
                  "alone with chmod go-w " +
                  shown(folder));
  }
}

// A book named by a symbolic link is the file it names: the scratch copy
// replaces that file, and the lock beside it is the same whichever name
// was given.
std::string Workspace::realBook(const std::string& path) const {
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
  fs::path real = fs::canonical(path, error);
  if (error) {
    throw Failure(shown(path) + " is a symbolic link to " + fs::read_symlink(path, error).string() +
                  ", which does not exist; name the book itself or create it first");
  }
  return real.string();
}

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
  for (const fs::path& folder : {fs::path(root_), fs::path(root_) / "http", httpData}) {
    checkFolderIsOwn(folder.string());
  }
  if (::chdir(root_.c_str()) != 0) {
    throw Failure("cannot enter the data folder " + shown(root_) + ": " + errorText(errno));
  }
  database_ = realBook(options.database.empty() ? (fs::path(root_) / "addressbook.db").string()
                                                : absoluteFrom(callerDir_, options.database));
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
