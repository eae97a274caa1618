#include "file_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "errors.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

// How much a StagedFile gathers before it writes.
constexpr size_t kPendingLimit = 256 * 1024;

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

bool writeAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Opens `path` for reading; a folder is refused with a sentence of its own.
int openToRead(const std::string& path, const std::string& shownName) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Failure("cannot read " + shownName + ": " + errorText(errno));
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    throw Failure("cannot read " + shownName + ": it is a folder, not a file");
  }
  return fd;
}

// The process's umask, read without changing it: setting it to read it
// would let a file another thread creates meanwhile escape it.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) != 0) continue;
    char* end = nullptr;
    unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
    if (end != line.c_str() + 6 && mask <= 0777) return static_cast<mode_t>(mask);
  }
  return 022;
}

// The mode a new file of the person's gets: what their umask lets through,
// as if the file had been created by name (mkstemp makes it 0600).
mode_t filesMode() {
  static const mode_t mode = static_cast<mode_t>(0666 & ~currentUmask());
  return mode;
}

// Everything `fd` still has to give.
std::string readAll(int fd, const std::string& shownName) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Failure("cannot read " + shownName + ": " + errorText(errno));
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

// Copies everything from `in` to `out`, in the kernel where it can.
bool copyAll(int in, int out) {
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;  // not between these files: copy through a buffer
  }
  std::vector<char> buffer(size_t{1} << 20);
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    if (!writeAll(out, std::string_view(buffer.data(), static_cast<size_t>(n)))) return false;
  }
}

}  // namespace

std::string errorText(int error) { return std::strerror(error); }

std::string readFile(const std::string& path, const std::string& shownName) {
  Descriptor fd(openToRead(path, shownName));
  return readAll(fd.get(), shownName);
}

MappedFile::MappedFile(const std::string& path, const std::string& shownName) {
  Descriptor fd(openToRead(path, shownName));
  struct stat info {};
  // An empty size may be a file that only says so (those of /proc do).
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
    copy_ = readAll(fd.get(), shownName);
    return;
  }
  void* data = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ,
                      MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
  if (data == MAP_FAILED) {
    copy_ = readAll(fd.get(), shownName);
    return;
  }
  data_ = data;
  size_ = static_cast<size_t>(info.st_size);
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

std::string_view MappedFile::view() const {
  if (data_ == nullptr) return copy_;
  return std::string_view(static_cast<const char*>(data_), size_);
}

StagedFile::StagedFile(const std::string& target, const std::string& shownName)
    : target_(target), shown_(shownName) {
  fs::path path(target);
  fs::path directory = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::error_code error;
  if (fs::is_directory(path, error)) {
    throw Failure("cannot write " + shownName + ": it is a folder, not a file");
  }
  directory_ = directory.string();
  temporary_ = (directory / ("." + path.filename().string() + ".dabtool-XXXXXX")).string();
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) throw Failure("cannot write " + shownName + ": " + errorText(errno));
}

StagedFile::~StagedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!placed_) ::unlink(temporary_.c_str());
}

void StagedFile::write(std::string_view bytes) {
  size_ += bytes.size();
  if (pending_.size() + bytes.size() < kPendingLimit) {
    pending_.append(bytes);
    return;
  }
  flush();
  if (!writeAll(fd_, bytes)) fail(errno);
}

void StagedFile::flush() {
  if (!pending_.empty() && !writeAll(fd_, pending_)) fail(errno);
  pending_.clear();
}

void StagedFile::copyFrom(const std::string& path, const std::string& shownName) {
  flush();
  Descriptor in(openToRead(path, shownName));
  if (!copyAll(in.get(), fd_)) fail(errno);
  struct stat info {};
  if (::fstat(fd_, &info) == 0) size_ = static_cast<size_t>(info.st_size);
}

void StagedFile::place(Durability durability) {
  flush();
  bool sync = durability == Durability::kFlushed;
  bool closed =
      ::fchmod(fd_, filesMode()) == 0 && (!sync || ::fsync(fd_) == 0) && ::close(fd_) == 0;
  fd_ = -1;
  if (!closed || ::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
  placed_ = true;
  if (sync) syncDirectory(directory_);
}

void StagedFile::fail(int error) {
  throw Failure("cannot write " + shown_ + ": " + errorText(error));
}

void copyFileAtomically(const std::string& from, const std::string& shownFrom,
                        const std::string& to, const std::string& shownTo, Durability durability) {
  StagedFile staged(to, shownTo);
  staged.copyFrom(from, shownFrom);
  staged.place(durability);
}

void writeFileAtomically(const std::string& path, std::string_view bytes,
                         const std::string& shownName, Durability durability) {
  StagedFile staged(path, shownName);
  staged.write(bytes);
  staged.place(durability);
}

void syncDirectory(const std::string& directory) {
  Descriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace dabtool
