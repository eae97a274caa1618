// dabtool's import pipeline, one section per unit.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "duplicates.h"
#include "errors.h"
#include "files_and_text.h"
#include "upload_file.h"
#include "vcard_reader.h"

namespace {

// --- Uploads as people save them: the bytes the library gets and what was
// changed, with no warning, or the refusal of what cannot be read.

using dabtool::PreparedUpload;
using dabtool::prepareUpload;

// The bytes of a literal, NULs included.
template <size_t N>
std::string b(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

const std::string kLe = "\xFF\xFE", kBe = "\xFE\xFF", kUtf8Bom = "\xEF\xBB\xBF";
const std::string kLittle = "UTF-16 (little-endian", kBig = "UTF-16 (big-endian";
const std::string kAdded = "added a line end", kDetected = "from WINDOWS-1252 (detected) to UTF-8";

// Input, the bytes the library gets, a part of each change in order between '|'.
// clang-format off
const std::tuple<std::string, std::string, std::string> kUploads[] = {
    {"a,b\n\xC3\xA9\n", "a,b\n\xC3\xA9\n", ""}, {"", "", ""},
    {kLe + b("a\0,\0\xE9\0\n\0"), "a,\xC3\xA9\n", kLittle},
    {kBe + b("\0a\0,\x20\xAC\0\n"), "a,\xE2\x82\xAC\n", kBig},
    {kLe + b("\x3D\xD8\x00\xDE\n\0"), "\xF0\x9F\x98\x80\n", kLittle},  // surrogate pairs
    {kBe + b("\xDB\xFF\xDF\xFF\0\n"), "\xF4\x8F\xBF\xBF\n", kBig}, {kLe, "", kLittle},
    {kLe + b("a\0\r\0\n\0b\0"), "a\r\nb\r\n", kLittle + "|" + kAdded},
    {kUtf8Bom + "a,b\n", kUtf8Bom + "a,b\n", "UTF-8 byte-order mark"},
    {"a,b\nZo\xEB,\xC7" "elik\n", "a,b\nZo\xC3\xAB,\xC3\x87" "elik\n", kDetected},
    {"x\n\xE9", "x\n\xC3\xA9\n", kDetected + "|" + kAdded}, {"a\nb", "a\nb\n", kAdded},
    {"a\r\nb\nc", "a\r\nb\nc\r\n", kAdded}, {"a\rb", "a\rb\r", kAdded}, {"a,b", "a,b\n", kAdded},
    {"a\rb\r", "a\rb\r", ""}};
// Input and a part of the refusal's sentence.
const std::pair<std::string, const char*> kRefused[] = {
    {kLe + "a", "odd number of bytes"}, {kBe + b("\0a\0"), "odd number of bytes"},
    {kLe + b("a\0\n\0\x3D\xD8"), "on line 2"}, {kBe + b("\xD8\x3D\0a"), "on line 1"},
    {kLe + b("\0\xDC\n\0"), "on line 1"}, {kBe + b("\xDC\x00\xD8\x00"), "on line 1"},
    {"PK\x03\x04rest", "save it as CSV"}, {"\x89PNG\r\n", "a PNG image"},
    {b("ab\0cd"), "binary data"},
    {"Foo,Bar\nx,y\n", "--columns \"display=COLUMN"}};
// clang-format on

TEST(PrepareUpload, ConvertsOrRefuses) {
  for (const auto& [input, output, changes] : kUploads) {
    SCOPED_TRACE(testing::PrintToString(input));
    // Bytes, not contacts: the columns go by position.
    dabtool::ReadingOptions positional;
    positional.positional = true;
    PreparedUpload upload = prepareUpload(input, "book.csv", positional);
    EXPECT_EQ(upload.bytes(), output);
    // A file that can go as it is goes without a copy.
    EXPECT_EQ(upload.converted(), upload.bytes().data() != std::string_view(input).data());
    EXPECT_EQ(upload.converted(), output != input);
    // The early record reading skips what it takes for sure to change.
    EXPECT_TRUE(upload.converted() || !dabtool::surelyRewritten(input, positional));
    EXPECT_TRUE(upload.warnings.empty());
    std::vector<std::string> parts = testutil::splitLines(changes, "|");
    ASSERT_EQ(upload.changes.size(), parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
      EXPECT_TRUE(testutil::has(upload.changes[i], parts[i]));
  }
  dabtool::ReadingOptions latin1;
  latin1.encoding = "ISO-8859-1";
  latin1.positional = true;
  for (const auto& [input, options] :
       {std::pair{std::string("a,b\n"), latin1}, {"BEGIN:VCARD\nFN:A\nEND:VCARD\n", {}}}) {
    EXPECT_TRUE(dabtool::surelyRewritten(input, options) &&
                prepareUpload(input, "book.csv", options).converted())
        << input;
  }
  EXPECT_FALSE(dabtool::surelyRewritten("a,b\n", {}));
  for (const auto& [input, reason] : kRefused) {
    try {
      prepareUpload(input, "book.csv");
      ADD_FAILURE() << "accepted " << reason;
    } catch (const dabtool::Failure& failure) {
      std::string what = failure.what();
      EXPECT_EQ(what.rfind("book.csv ", 0), 0u) << what;
      EXPECT_TRUE(testutil::has(what, reason));
    }
  }
}

// --- vCards as phones and mail programs write them: each input's cards, field
// by field, one line each: first|last|display|company|e-mail|ifax.

std::string cardsOf(const std::string& input) {
  std::string text;
  for (const dabtool::VCard& card : dabtool::readVCards(input, "in.vcf")) {
    for (const std::string& field : card.fields) text += field + "|";
    text.back() = '\n';
  }
  return text;
}

TEST(VCardReader, CardsFieldByField) {
  // No END and lower case; a card inside a card; escapes; quoted-printable
  // Latin-1; the preferred e-mail of vCard 4.0 and a group prefix; folding.
  const std::pair<std::string, std::string> kCases[] = {
      {"begin:vcard\nfn:Al\nemail:al@x.org\n", "||Al||al@x.org|\n"},
      {"BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nEND:VCARD\n", "||A|||\n||B|||\n"},
      {"BEGIN:VCARD\nN:O\\;Neil;Ann\\, Jr;;;\nORG:A\\\\B;Dept\nEND:VCARD\n",
       "Ann, Jr|O;Neil||A\\B||\n"},
      {"BEGIN:VCARD\nFN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Ren=E9e B=\n=F6hm\nEND:VCARD\n",
       "||Ren\xC3\xA9"
       "e B\xC3\xB6hm|||\n"},
      {"BEGIN:VCARD\nitem1.EMAIL:a@x.org\nEMAIL;PREF=1:b@x.org\nEMAIL;TYPE=pref:c@x.org\nEND:"
       "VCARD\n",
       "||||b@x.org|\n"},
      {"BEGIN:VCARD\r\nFN:Long\r\n\tName\r\nEND:VCARD\r\n", "||LongName|||\n"}};
  for (const auto& [input, cards] : kCases) EXPECT_EQ(cardsOf(input), cards) << input;
}

// --- Duplicate records cut from an upload: against the book and within the
// file, A-Z in either case, as the library would read the values; and the
// library's record numbers of the cut upload turned back into the file's.

using dabtool::BookEntry;
using dabtool::DuplicateCut;

const std::string kHeader = "First,Last,Display,Company,Email,Ifax\n";

BookEntry contact(const char* name, const char* email, int dlType = 0) {
  BookEntry entry;
  entry.displayName = name;
  entry.email = email;
  entry.dlType = dlType;
  return entry;
}

TEST(ImportDuplicates, CutsWhatTheBookOrAnEarlierRecordHoldsAndRenumbers) {
  const std::vector<BookEntry> book = {contact("Anna B", "anna@x.org"), contact("Tom", ""),
                                       contact("Sales", "", 1)};
  // Rows after the header; each record skipped as "record:copy of" (0: the
  // book); rows kept. Any case matches; without e-mail both match; groups
  // are no contacts; blank names are the library's to refuse.
  const std::tuple<std::string, const char*, std::string> cases[] = {
      {"a,b,ANNA b,,Anna@X.ORG,\r\nz,z,Zoe,,,\r\n", "2:0", "z,z,Zoe,,,\r\n"},
      {"t,,Tom,,,\nt,,Tom,,t@x.org,\n", "2:0", "t,,Tom,,t@x.org,\n"},
      {"s,,Sales,,,\n", "", "s,,Sales,,,\n"},
      {"a,,\"Li,\nMo\",,,\nb,,\"Li, Mo\",,,\n\nc,,Li,,,\n", "3:2",
       "a,,\"Li,\nMo\",,,\n\nc,,Li,,,\n"},
      {"a,,,,,\na,,,,,\n", "", "a,,,,,\na,,,,,\n"}};
  for (const auto& [rows, skipped, kept] : cases) {
    DuplicateCut cut = dabtool::cutDuplicates(kHeader + rows, ',', book);
    std::string found;
    for (const auto& record : cut.skipped) {
      found += (found.empty() ? "" : " ") + std::to_string(record.record) + ":" +
               std::to_string(record.copyOf);
    }
    EXPECT_EQ(found, skipped) << rows;
    EXPECT_EQ(cut.skipped.empty() ? kHeader + rows : cut.bytes, kHeader + kept) << rows;
  }

  // Records 3 and 5 of six were cut; the library read the four others.
  DuplicateCut cut;
  cut.kept = {0, 1, 2, 4, 6};
  cut.records = 6;
  dabtool::ImportLog log;
  log.parsedRecords = 4;
  log.created = {false, false, true, true, false};
  log.refused[4] = {dabtool::Finding::kDisplayNameBlank};
  dabtool::ImportLog out = dabtool::renumbered(log, cut);
  EXPECT_EQ(out.parsedRecords, 6);
  EXPECT_TRUE(out.wasCreated(2) && out.wasCreated(4));
  EXPECT_FALSE(out.wasCreated(3) || out.wasCreated(6));
  EXPECT_EQ(out.refused.count(6), 1u);
  log.parsedRecords = 2;  // stopped by the device limit after record 2
  EXPECT_EQ(dabtool::renumbered(log, cut).parsedRecords, 3);
  // The file's last record cut: the library's last is the file's fifth.
  cut.kept = {0, 1, 2, 4, 5};
  log.parsedRecords = 4;
  EXPECT_EQ(dabtool::renumbered(log, cut).refused.count(5), 1u);
}

}  // namespace
