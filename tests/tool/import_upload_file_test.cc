// Uploads as people save them: the bytes the library gets and what was
// changed, with no warning, or the refusal of what cannot be read.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "errors.h"
#include "upload_file.h"

namespace {

using dabtool::PreparedUpload;
using dabtool::prepareUpload;

// The bytes of a literal, NULs included.
template <size_t N>
std::string b(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

const std::string kLe = "\xFF\xFE";
const std::string kBe = "\xFE\xFF";
const std::string kUtf8Bom = "\xEF\xBB\xBF";
const std::string kLittle = "UTF-16 (little-endian", kBig = "UTF-16 (big-endian";
const std::string kAdded = "added a line end", kDetected = "from WINDOWS-1252 (detected) to UTF-8";

struct UploadCase {
  std::string input;
  std::string output;
  std::string changes;  // a part of each change in order, between '|'
};

const UploadCase kCases[] = {
    {"a,b\n\xC3\xA9\n", "a,b\n\xC3\xA9\n", ""},
    {"", "", ""},
    {kLe + b("a\0,\0\xE9\0\n\0"), "a,\xC3\xA9\n", kLittle},
    {kBe + b("\0a\0,\x20\xAC\0\n"), "a,\xE2\x82\xAC\n", kBig},
    {kLe + b("\x3D\xD8\x00\xDE\n\0"), "\xF0\x9F\x98\x80\n", kLittle},  // surrogate pairs
    {kBe + b("\xDB\xFF\xDF\xFF\0\n"), "\xF4\x8F\xBF\xBF\n", kBig},
    {kLe, "", kLittle},
    {kLe + b("a\0\r\0\n\0b\0"), "a\r\nb\r\n", kLittle + "|" + kAdded},
    {kUtf8Bom + "a,b\n", kUtf8Bom + "a,b\n", "UTF-8 byte-order mark"},
    {"a,b\nZo\xEB,\xC7"
     "elik\n",
     "a,b\nZo\xC3\xAB,\xC3\x87"
     "elik\n",
     kDetected},
    {"x\n\xE9", "x\n\xC3\xA9\n", kDetected + "|" + kAdded},
    {"a\nb", "a\nb\n", kAdded},
    {"a\r\nb\nc", "a\r\nb\nc\r\n", kAdded},
    {"a\rb", "a\rb\r", kAdded},
    {"a,b", "a,b\n", kAdded},
    {"a\rb\r", "a\rb\r", ""}};

TEST(PrepareUpload, Cases) {
  for (const UploadCase& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    // Bytes, not contacts: the columns go by position.
    dabtool::ReadingOptions positional;
    positional.positional = true;
    PreparedUpload upload = prepareUpload(c.input, "book.csv", positional);
    EXPECT_EQ(upload.bytes(), c.output);
    // A file that can go as it is goes without a copy.
    EXPECT_EQ(upload.converted(), upload.bytes().data() != std::string_view(c.input).data());
    EXPECT_EQ(upload.converted(), c.output != c.input);
    EXPECT_TRUE(upload.warnings.empty());
    std::vector<std::string> parts;
    std::istringstream in(c.changes);
    for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
    ASSERT_EQ(upload.changes.size(), parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
      EXPECT_NE(upload.changes[i].find(parts[i]), std::string::npos) << upload.changes[i];
    }
  }
}

struct RefusedCase {
  std::string input;
  const char* reason;  // a part of the failure's sentence
};

const RefusedCase kRefused[] = {
    {kLe + "a", "odd number of bytes"},
    {kBe + b("\0a\0"), "odd number of bytes"},
    {kLe + b("a\0\n\0\x3D\xD8"), "on line 2"},
    {kBe + b("\xD8\x3D\0a"), "on line 1"},
    {kLe + b("\0\xDC\n\0"), "on line 1"},
    {kBe + b("\xDC\x00\xD8\x00"), "on line 1"},
    {"PK\x03\x04rest", "save it as CSV"},
    {"\x89PNG\r\n", "a PNG image"},
    {b("ab\0cd"), "binary data"},
    {"Foo,Bar\nx,y\n", "--columns \"display=COLUMN"},
};

TEST(PrepareUpload, RefusesWhatItCannotRead) {
  for (const RefusedCase& c : kRefused) {
    SCOPED_TRACE(c.reason);
    try {
      prepareUpload(c.input, "book.csv");
      ADD_FAILURE() << "accepted";
    } catch (const dabtool::Failure& failure) {
      std::string what = failure.what();
      EXPECT_EQ(what.rfind("book.csv ", 0), 0u) << what;
      EXPECT_NE(what.find(c.reason), std::string::npos) << what;
    }
  }
}

}  // namespace
