// Text in other encodings than UTF-8: what a file is written in, found by
// a detector of encodings (uchardet), and its conversion to UTF-8 (iconv).
#ifndef DABUTILS_TOOLS_DABTOOL_IMPORT_TEXT_ENCODING_H_
#define DABUTILS_TOOLS_DABTOOL_IMPORT_TEXT_ENCODING_H_

#include <string>
#include <string_view>

namespace dabtool {

// The encoding the detector sees in `bytes` ("WINDOWS-1252", "UTF-8",
// "ASCII"); "" when it cannot tell.
std::string detectEncoding(std::string_view bytes);

// `bytes`, written in `encoding`, as UTF-8. Throws UnreadableFile, naming
// `shownName`, for an encoding iconv does not know or bytes that are not
// text in it (with the line of the first one).
std::string convertToUtf8(std::string_view bytes, const std::string& encoding,
                          const std::string& shownName);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_IMPORT_TEXT_ENCODING_H_
