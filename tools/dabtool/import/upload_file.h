// Turns a file as people really make it into the upload the library reads:
// UTF-16 becomes UTF-8, a missing final line end is added, and whatever else
// looks wrong is named.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dabtool {

// The upload the library will read: the file's own bytes when they can go
// as they are, else a converted copy.
class PreparedUpload {
 public:
  std::string_view bytes() const { return converted_ ? std::string_view(*converted_) : original_; }
  // True when bytes() differ from the file's.
  bool converted() const { return converted_.has_value(); }

  std::vector<std::string> changes;   // what was done to the copy, in plain words
  std::vector<std::string> warnings;  // what may come out wrong

 private:
  friend PreparedUpload prepareUpload(std::string_view original, const std::string& shownName);

  std::string_view original_;
  std::optional<std::string> converted_;
};

// Prepares `original` (the file's bytes); `shownName` names it in the
// sentences. Throws UnreadableFile for UTF-16 that cannot be converted.
// REQUIRES: `original` outlives the result.
PreparedUpload prepareUpload(std::string_view original, const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_
