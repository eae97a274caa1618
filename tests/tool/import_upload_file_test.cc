// Uploads as people save them: the bytes the library gets, what was changed
// and what was warned about, or the refusal of UTF-16 that cannot be read.
#include <gtest/gtest.h>

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
const char* const kLittle = "UTF-16 (little-endian";
const char* const kBig = "UTF-16 (big-endian";
const char* const kAdded = "added a line end";
const char* const kDetected = "from WINDOWS-1252 (detected) to UTF-8";

struct UploadCase {
  const char* name;
  std::string input;
  std::string output;
  std::vector<std::string> changes;   // one part of each change, in order
  std::vector<std::string> warnings;  // one part of each warning, in order
};

const UploadCase kCases[] = {
    {"Utf8Unchanged", "a,b\n\xC3\xA9\n", "a,b\n\xC3\xA9\n", {}, {}},
    {"EmptyFile", "", "", {}, {}},
    {"Utf16Le", kLe + b("a\0,\0\xE9\0\n\0"), "a,\xC3\xA9\n", {kLittle}, {}},
    {"Utf16Be", kBe + b("\0a\0,\x20\xAC\0\n"), "a,\xE2\x82\xAC\n", {kBig}, {}},
    {"Utf16LeSurrogatePair", kLe + b("\x3D\xD8\x00\xDE\n\0"), "\xF0\x9F\x98\x80\n", {kLittle}, {}},
    {"Utf16BeSurrogatePair", kBe + b("\xDB\xFF\xDF\xFF\0\n"), "\xF4\x8F\xBF\xBF\n", {kBig}, {}},
    {"Utf16BomOnly", kLe, "", {kLittle}, {}},
    {"Utf16WithoutFinalLineEnd", kLe + b("a\0\r\0\n\0b\0"), "a\r\nb\r\n", {kLittle, kAdded}, {}},
    {"Utf8BomKept", kUtf8Bom + "a,b\n", kUtf8Bom + "a,b\n", {"UTF-8 byte-order mark"}, {}},
    {"Windows1252Detected",
     "a,b\nZo\xEB,\xC7"
     "elik\n",
     "a,b\nZo\xC3\xAB,\xC3\x87"
     "elik\n",
     {kDetected},
     {}},
    {"Windows1252NoFinalLineEnd", "x\n\xE9", "x\n\xC3\xA9\n", {kDetected, kAdded}, {}},
    {"LfAdded", "a\nb", "a\nb\n", {kAdded}, {}},
    {"CrLfAdded", "a\r\nb\nc", "a\r\nb\nc\r\n", {kAdded}, {}},
    {"LoneCrAdded", "a\rb", "a\rb\r", {kAdded}, {}},
    {"LfAddedToSingleLine", "a,b", "a,b\n", {kAdded}, {}},
    {"FinalLoneCrKept", "a\rb\r", "a\rb\r", {}, {}},
};

// Every expected part in its own sentence, as many sentences as parts.
void expectParts(const std::vector<std::string>& sentences, const std::vector<std::string>& parts) {
  ASSERT_EQ(sentences.size(), parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    EXPECT_NE(sentences[i].find(parts[i]), std::string::npos) << sentences[i];
  }
}

TEST(PrepareUpload, Cases) {
  for (const UploadCase& c : kCases) {
    SCOPED_TRACE(c.name);
    // Bytes, not contacts: the columns go by position.
    dabtool::ReadingOptions positional;
    positional.positional = true;
    PreparedUpload upload = prepareUpload(c.input, "book.csv", positional);
    EXPECT_EQ(upload.bytes(), c.output);
    // A file that can go as it is goes without a copy.
    EXPECT_EQ(upload.converted(), upload.bytes().data() != std::string_view(c.input).data());
    EXPECT_EQ(upload.converted(), c.output != c.input);
    expectParts(upload.changes, c.changes);
    expectParts(upload.warnings, c.warnings);
    for (const std::string& warning : upload.warnings) {
      EXPECT_EQ(warning.rfind("book.csv ", 0), 0u) << warning;
    }
  }
}

struct RefusedCase {
  const char* name;
  std::string input;
  const char* reason;  // a part of the failure's sentence
};

const RefusedCase kRefused[] = {
    {"OddLengthLe", kLe + "a", "odd number of bytes"},
    {"OddLengthBe", kBe + b("\0a\0"), "odd number of bytes"},
    {"LoneHighSurrogateAtEnd", kLe + b("a\0\n\0\x3D\xD8"), "on line 2"},
    {"HighSurrogateBeforeLetter", kBe + b("\xD8\x3D\0a"), "on line 1"},
    {"LoneLowSurrogate", kLe + b("\0\xDC\n\0"), "on line 1"},
    {"LowBeforeHigh", kBe + b("\xDC\x00\xD8\x00"), "on line 1"},
    {"SpreadsheetZip", "PK\x03\x04rest", "save it as CSV"},
    {"Image", "\x89PNG\r\n", "a PNG image"},
    {"Binary", b("ab\0cd"), "binary data"},
    {"UnknownHeader", "Foo,Bar\nx,y\n", "--columns \"display=COLUMN"},
};

TEST(PrepareUpload, RefusesWhatItCannotRead) {
  for (const RefusedCase& c : kRefused) {
    SCOPED_TRACE(c.name);
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
