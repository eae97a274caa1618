// Turns a file as people really make it into the upload the library reads:
// other encodings become UTF-8, other programs' CSV files and vCards become
// the import's six columns, a missing final line end is added, and whatever
// was done is named. A file already in the six columns, in UTF-8, with a
// delimiter the library reads, goes as it is: only its header row is read.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "upload_reading.h"

namespace dabtool {

// The upload the library will read: the file's own bytes when they can go
// as they are, else a converted copy.
class PreparedUpload {
 public:
  std::string_view bytes() const { return converted_ ? std::string_view(*converted_) : original_; }
  // True when bytes() differ from the file's.
  bool converted() const { return converted_.has_value(); }
  // The delimiter name the library is to be called with: `given` (the
  // person's) for a file that goes as it is with a delimiter the person
  // named, else the one the upload has.
  std::string libraryDelimiter(const std::string& given, bool delimiterGiven) const;

  UploadReading reading;

  std::vector<std::string> changes;   // what was done to the copy, in plain words
  std::vector<std::string> warnings;  // what may come out wrong

 private:
  friend PreparedUpload prepareUpload(std::string_view original, const std::string& shownName,
                                      const ReadingOptions& options);
  friend class UploadPreparation;

  std::string_view original_;
  std::optional<std::string> converted_;
};

// Prepares `original` (the file's bytes) as `options` ask; `shownName`
// names it in the sentences. Throws UnreadableFile for a file that is no
// text, text no encoding explains, a header row that names nothing the tool
// knows, or a --columns choice that names no column.
// REQUIRES: `original` outlives the result.
PreparedUpload prepareUpload(std::string_view original, const std::string& shownName,
                             const ReadingOptions& options = ReadingOptions());

// True when prepareUpload will write new bytes whatever else the file holds
// (UTF-16, a named encoding, vCards): a hint for work done ahead on the
// bytes as they are, never a verdict.
bool surelyRewritten(std::string_view original, const ReadingOptions& options);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_UPLOAD_FILE_H_
