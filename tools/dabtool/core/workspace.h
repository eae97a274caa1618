// The data root a command works in: the folder the path service maps
// "nc_dlms_data" to, its "http/data" folder with the library's fixed files,
// and the SQLite address book.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_WORKSPACE_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_WORKSPACE_H_

#include <string>

namespace dabtool {

// What the global options chose. Empty strings take the defaults.
struct GlobalOptions {
  std::string dataDir;   // --data-dir
  std::string database;  // --database
  int logLevel;          // --log-level, a DABPLATFORM_LOG_* value
};

class Workspace {
 public:
  // Creates the data root and its "http/data" folder, makes the data root the
  // working directory (the library changes file modes by relative name) and
  // points the stand-ins at it. The book given as a symbolic link is the file
  // it names. Throws Failure when the folder cannot be made, or when it (or
  // "http" or "http/data" in it) belongs to another user or others may write
  // it.
  explicit Workspace(const GlobalOptions& options);

  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::string& root() const { return root_; }
  const std::string& databasePath() const { return database_; }

  // Absolute path of one of the fixed files.
  std::string fixedFile(const char* relativeName) const;

  // Absolute path of a name the person typed, taken relative to the folder
  // dabtool was started in.
  std::string fromCaller(const std::string& typed) const;

  // A path as the person should read it: relative to the folder dabtool was
  // started in when it lies below it, else absolute.
  std::string shown(const std::string& path) const;

 private:
  void checkFolderIsOwn(const std::string& folder) const;
  std::string realBook(const std::string& path) const;

  std::string callerDir_;
  std::string root_;
  std::string database_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_WORKSPACE_H_
