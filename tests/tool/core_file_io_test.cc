// Files as dabtool writes and reads them: staged under a temporary name and
// put in place by one rename, copied, and read back without a copy.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "errors.h"
#include "file_io.h"
#include "tool_text.h"

namespace {

namespace fs = std::filesystem;
using dabtool::Durability;

class CoreFileIo : public ::testing::Test {
 protected:
  CoreFileIo() { fs::create_directories(dir_); }
  ~CoreFileIo() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const { return tooltest::readAll(path(name)); }
  size_t entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  fs::path dir_ = fs::temp_directory_path() / ("dabtool-file-io-" + std::to_string(::getpid()));
};

TEST_F(CoreFileIo, AStagedFileReplacesItsTargetOnlyWhenPlaced) {
  write("book.csv", "old");
  {
    dabtool::StagedFile staged(path("book.csv"), "book.csv");
    staged.write("new ");
    staged.write("bytes");
    EXPECT_EQ(9u, staged.size());
    EXPECT_EQ("old", read("book.csv"));
  }
  EXPECT_EQ("old", read("book.csv"));
  EXPECT_EQ(1u, entries()) << "an abandoned stage leaves nothing behind";

  dabtool::StagedFile staged(path("book.csv"), "book.csv");
  staged.write("new");
  staged.place(Durability::kUnflushed);
  EXPECT_EQ("new", read("book.csv"));
  EXPECT_EQ(1u, entries());
}

TEST_F(CoreFileIo, AStagedFileKeepsTheOrderOfSmallAndLargeWrites) {
  std::string expected;
  write("tail.csv", "tail\n");
  dabtool::StagedFile staged(path("out.csv"), "out.csv");
  // Network-sized pieces, one piece larger than anything gathered, more
  // pieces, then a copied file: each must land after the one before.
  for (const size_t size : {4096, 4096, 700 * 1024, 10, 300 * 1024, 3}) {
    std::string piece(size, static_cast<char>('a' + expected.size() % 26));
    staged.write(piece);
    expected += piece;
  }
  staged.copyFrom(path("tail.csv"), "tail.csv");
  staged.place(Durability::kUnflushed);
  EXPECT_EQ(expected + "tail\n", read("out.csv"));
}

TEST_F(CoreFileIo, NewFilesKeepThePersonsUmask) {
  ::umask(027);
  dabtool::writeFileAtomically(path("out.csv"), "x", "out.csv");
  struct stat info {};
  ASSERT_EQ(0, ::stat(path("out.csv").c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 0777u);
}

TEST_F(CoreFileIo, CopiesAreWholeAndFailuresNameTheFile) {
  std::string big(3 << 20, 'x');
  big[12345] = '\n';
  write("source.csv", big);
  dabtool::copyFileAtomically(path("source.csv"), "source.csv", path("copy.csv"), "copy.csv");
  EXPECT_EQ(big, read("copy.csv"));

  fs::create_directory(path("folder"));
  const std::pair<std::string, std::string> failures[] = {
      {"missing.csv", "cannot read missing.csv: No such file or directory"},
      {"folder", "cannot read folder: it is a folder, not a file"}};
  for (const auto& [from, message] : failures) {
    try {
      dabtool::copyFileAtomically(path(from), from, path("copy.csv"), "copy.csv");
      ADD_FAILURE() << from;
    } catch (const dabtool::Failure& error) {
      EXPECT_EQ(message, error.what());
    }
  }
  EXPECT_EQ(big, read("copy.csv")) << "a failed copy leaves the target as it was";
  EXPECT_THROW(dabtool::writeFileAtomically(path("folder"), "x", "folder"), dabtool::Failure);
}

TEST_F(CoreFileIo, AMappedFileShowsTheBytesOfAnyFile) {
  write("empty.csv", "");
  write("some.csv", "a,b\r\nc,d\r\n");
  EXPECT_EQ("", dabtool::MappedFile(path("empty.csv"), "empty.csv").view());
  EXPECT_EQ("a,b\r\nc,d\r\n", dabtool::MappedFile(path("some.csv"), "some.csv").view());
  // Files that report no size, or cannot be mapped, are read instead.
  EXPECT_FALSE(dabtool::MappedFile("/proc/self/status", "status").view().empty());
  ASSERT_EQ(0, ::mkfifo(path("pipe").c_str(), 0600));
  std::thread writer([this] { write("pipe", "from a pipe\n"); });
  EXPECT_EQ("from a pipe\n", dabtool::MappedFile(path("pipe"), "pipe").view());
  writer.join();
}

}  // namespace
