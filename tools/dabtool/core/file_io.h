// Whole-file reads and crash-safe writes of the files dabtool hands to people.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_

#include <string>

namespace dabtool {

// The bytes of `path`. Throws Failure with a sentence naming `shownName`.
std::string readFile(const std::string& path, const std::string& shownName);

// Whether a write waits until the bytes are on disk.
enum class Durability {
  kFlushed,    // a file people keep: on disk before the call returns
  kUnflushed,  // a file for the moment (the library's input): a crash loses
               // nothing that is not still in the file it came from
};

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so `path` is either old or new, never half written; flushed to
// disk first unless `durability` says otherwise. Throws Failure naming
// `shownName`.
void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& shownName,
                         Durability durability = Durability::kFlushed);

// Flushes the directory entry changes of `directory` (after a rename).
// Errors are ignored: the rename itself has happened.
void syncDirectory(const std::string& directory);

// The text of errno `error` ("No such file or directory").
std::string errorText(int error);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_
