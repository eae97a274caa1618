// Turns a file as people really make it into the upload the library reads:
// UTF-16 becomes UTF-8, a missing final line end is added, and whatever else
// looks wrong is named.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_

#include <string>
#include <vector>

namespace dabtool {

struct PreparedUpload {
  std::string bytes;                  // what the library will read
  std::vector<std::string> changes;   // what was done to the copy, in plain words
  std::vector<std::string> warnings;  // what may come out wrong
};

// Prepares `original` (the file's bytes); `shownName` names it in the
// sentences. Throws Failure for UTF-16 that cannot be converted.
PreparedUpload prepareUpload(std::string original, const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_
