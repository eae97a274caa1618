#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "errors.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

// Owns a POSIX file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result, since close() can be where a write fails.
  int close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string errorText(int error) { return std::strerror(error); }

std::string readFile(const std::string& path, const std::string& shownName) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw Failure("cannot read " + shownName + ": " + errorText(errno));
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
    throw Failure("cannot read " + shownName + ": it is a folder, not a file");
  }
  // Read straight into a string of the file's size: a contact file of
  // several megabytes grown piece by piece is copied and faulted in again at
  // every doubling.
  std::string bytes;
  size_t used = 0;
  bytes.resize(info.st_size > 0 ? static_cast<size_t>(info.st_size) + 2 : 65536);
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    ssize_t n = ::read(fd.get(), &bytes[used], bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Failure("cannot read " + shownName + ": " + errorText(errno));
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  bytes.resize(used);
  return bytes;
}

void writeFileAtomically(const std::string& path, const std::string& bytes,
                         const std::string& shownName, Durability durability) {
  bool flush = durability == Durability::kFlushed;
  fs::path target(path);
  fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code error;
  if (fs::is_directory(target, error)) {
    throw Failure("cannot write " + shownName + ": it is a folder, not a file");
  }
  std::string temporary = (directory / ("." + target.filename().string() + ".dabtool-XXXXXX"));
  Descriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) throw Failure("cannot write " + shownName + ": " + errorText(errno));
  bool written = writeAll(fd.get(), bytes) && ::fchmod(fd.get(), 0644) == 0 &&
                 (!flush || ::fsync(fd.get()) == 0) && fd.close() == 0;
  int saved = errno;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    if (written) saved = errno;
    ::unlink(temporary.c_str());
    throw Failure("cannot write " + shownName + ": " + errorText(saved));
  }
  if (flush) syncDirectory(directory.string());
}

void syncDirectory(const std::string& directory) {
  Descriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace dabtool
