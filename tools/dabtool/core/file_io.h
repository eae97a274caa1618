// Whole-file reads and crash-safe writes of the files dabtool hands to people.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_

#include <string>
#include <string_view>

namespace dabtool {

// The bytes of `path`. Throws Failure with a sentence naming `shownName`.
std::string readFile(const std::string& path, const std::string& shownName);

// A file's bytes, mapped read-only for the object's lifetime where it can
// be: a contact file of megabytes is read where the page cache holds it
// rather than copied into fresh memory. Anything that cannot be mapped (a
// pipe) is read into memory instead. Throws Failure naming `shownName`.
// REQUIRES: nobody cuts the file short while it is mapped (reading past its
// new end would fault); dabtool maps only its own copies in the data folder.
class MappedFile {
 public:
  MappedFile(const std::string& path, const std::string& shownName);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::string_view view() const;

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  std::string copy_;  // what could not be mapped
};

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
void writeFileAtomically(const std::string& path, std::string_view bytes,
                         const std::string& shownName,
                         Durability durability = Durability::kFlushed);

// A file written under a temporary name beside `target` and put in its
// place by one rename, so `target` is either old or new, never half
// written. Removed on destruction unless placed. Throws Failure naming
// `shownName` for any error.
class StagedFile {
 public:
  StagedFile(const std::string& target, const std::string& shownName);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Appends `bytes`. Small pieces gather in memory first: a body arriving
  // in network-sized chunks would otherwise cost a system call per chunk.
  void write(std::string_view bytes);
  // Appends the file at `path`, the bytes moving in the kernel where the
  // file systems allow it; `shownName` names `path` when it cannot be read.
  void copyFrom(const std::string& path, const std::string& shownName);
  // Bytes written so far.
  size_t size() const { return size_; }
  // Renames the file over the target, flushed to disk first unless
  // `durability` says otherwise. REQUIRES: called once.
  void place(Durability durability);

 private:
  void flush();
  [[noreturn]] void fail(int error);

  std::string target_;
  std::string shown_;
  std::string directory_;
  std::string temporary_;
  int fd_ = -1;
  size_t size_ = 0;
  std::string pending_;  // written bytes not yet in the file
  bool placed_ = false;
};

// Copies `from` to `to` as writeFileAtomically writes, the bytes moving in
// the kernel where the file systems allow it. Throws Failure naming the
// file that failed.
void copyFileAtomically(const std::string& from, const std::string& shownFrom,
                        const std::string& to, const std::string& shownTo,
                        Durability durability = Durability::kFlushed);

// Flushes the directory entry changes of `directory` (after a rename).
// Errors are ignored: the rename itself has happened.
void syncDirectory(const std::string& directory);

// The text of errno `error` ("No such file or directory").
std::string errorText(int error);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_FILE_IO_H_
