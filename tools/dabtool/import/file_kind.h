// Tells a contact file from the files people pick by mistake: a
// spreadsheet's own format, an image, a PDF or other binary data.
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_FILE_KIND_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_FILE_KIND_H_

#include <string>
#include <string_view>

namespace dabtool {

// Throws UnreadableFile with one sentence that names what `bytes` look like
// and what to do, unless they may be text. UTF-16 with its byte-order mark
// counts as text.
void refuseNonText(std::string_view bytes, const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_FILE_KIND_H_
