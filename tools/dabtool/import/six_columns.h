// Writes contacts as the upload the library reads: its header row, then one
// row of six comma-separated columns per contact, quoted where a value
// needs it. Fills in a missing display name the way mail programs do.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_SIX_COLUMNS_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_SIX_COLUMNS_H_

#include <string>
#include <utility>
#include <vector>

#include "contact_fields.h"

namespace dabtool {

// The written upload and what the writing did.
struct SixColumnUpload {
  std::string bytes;
  int contacts = 0;
  int builtDisplayNames = 0;           // display names made of other fields
  std::vector<ContactFields> preview;  // the first five contacts as written
  // Lines of the person's file per record of the upload, the header row
  // first, so that findings name the person's lines.
  std::vector<std::pair<int, int>> sourceLines;
};

class SixColumnWriter {
 public:
  // `headerLines`: the lines of the person's header row ({0, 0} without one).
  explicit SixColumnWriter(std::pair<int, int> headerLines);

  // Adds one contact from lines `startLine` to `endLine` of the person's
  // file. Blanks around each value are dropped.
  void add(ContactFields fields, int startLine, int endLine);

  SixColumnUpload finish() { return std::move(upload_); }

 private:
  SixColumnUpload upload_;
};

// The display name a mail program would show for a contact without one:
// first and last name, else the company, else the e-mail address.
std::string builtDisplayName(const ContactFields& fields);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_SIX_COLUMNS_H_
