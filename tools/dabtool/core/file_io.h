// Whole-file reads and crash-safe writes of the files dabtool hands to people.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_

#include <string>

namespace dabtool {

// The bytes of `path`. Throws Failure with a sentence naming `shownName`.
std::string readFile(const std::string& path, const std::string& shownName);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so `path` is either old or new, never half written.
// Throws Failure naming `shownName`.
void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& shownName);

// Flushes the directory entry changes of `directory` (after a rename).
// Errors are ignored: the rename itself has happened.
void syncDirectory(const std::string& directory);

// The text of errno `error` ("No such file or directory").
std::string errorText(int error);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_
