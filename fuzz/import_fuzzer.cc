// The import end to end: arbitrary bytes as the uploaded file, through
// AddressBookImport against the scripted database.
//
// Input: byte 0 sets up the run, the rest is the file.
//   bit 0     the delimiter name: "Semicolon" when set, "Comma" otherwise
//   bit 1     the database already holds 64997 contacts (three below the limit)
//   bits 2-7  the database refuses creation call k when bit 2 + (k % 6) is set
//
// Expected outcome: an independent reading of the file (csv_reference.h)
// through the import's record rules gives the result, the counts and every
// contact the database must receive, field by field. Independently of that
// model, every contact received must carry NUL-terminated values within their
// buffers and a display name, the counts must add up, the import must
// connect and disconnect once and leave no file open.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "DABUtils.h"
#include "csv_reference.h"
#include "fuzz_check.h"
#include "scripted_platform.h"

namespace {

using dabfuzz::RefField;
using dabtest::CreatedContact;
using dabtest::fake;

const int32_t kLimit = 65000;
const size_t kMaxName = 1024;
const size_t kMaxAddress = 256;

struct Setup {
  bool semicolon;
  int32_t contactsBefore;
  unsigned refuseBits;  // Six bits, one per creation call modulo 6.
  bool refuses(int call) const { return (refuseBits >> (call % 6)) & 1; }
};

struct Expected {
  int result = 0;
  int32_t successCount = 0, failureCount = 0;
  std::vector<std::vector<std::string>> created;  // Six values per contact.
};

// The import's record rules over the reference reading: the first completed
// record is the header; an empty line is no record; a data record becomes a
// contact unless it has fewer than three fields, its display name is blank
// (a blank one in the header skips the first data record too) or an address
// is longer than 256 bytes; the import stops at the first malformed field and
// reads no further field once the database holds 65000 contacts.
Expected model(const std::vector<RefField>& fields, const Setup& setup) {
  Expected e;
  int32_t contacts = setup.contactsBefore;
  int records = 0, createCalls = 0;
  bool header = true, skip = false, error = false;
  std::vector<std::string> record;
  for (const RefField& field : fields) {
    if (contacts > kLimit - 1) break;
    if (field.result == dabfuzz::kError) {
      error = true;
      break;
    }
    if (field.result == dabfuzz::kEndOfFile) break;
    std::string value = dabfuzz::cText(field.value);
    if (field.result == dabfuzz::kEndOfRecord && record.empty() && value.empty()) continue;
    size_t position = record.size();
    record.push_back(value);
    if (position == 2 && value.empty()) skip = true;
    if ((position == 4 || position == 5) && value.size() > kMaxAddress && !header) skip = true;
    if (field.result != dabfuzz::kEndOfRecord) continue;
    ++records;
    if (header) {
      header = false;
    } else if (record.size() < 3 || skip) {
      skip = false;
    } else if (!setup.refuses(createCalls++)) {
      record.resize(6);
      e.created.push_back(record);
      ++contacts;
    }
    record.clear();
  }
  if (error) {
    e.result = records < 2 ? 6 : 3;
  } else if (records > 0) {
    e.successCount = static_cast<int32_t>(e.created.size());
    e.failureCount = records - 1 - e.successCount;
  }
  return e;
}

// A fresh data directory for the run, removed when the process ends.
class DataRoot {
 public:
  DataRoot() {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    path_ = base + "/dabfuzz.XXXXXX";
    FUZZ_CHECK(mkdtemp(path_.data()) != nullptr, "cannot make a data root");
    std::filesystem::create_directories(path_ + "/http/data");
  }
  ~DataRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  DataRoot(const DataRoot&) = delete;
  DataRoot& operator=(const DataRoot&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& dataRoot() {
  static const DataRoot root;
  return root.path();
}

void writeUpload(const uint8_t* data, size_t size) {
  std::string path = dataRoot() + "/http/data/addressbook.txt";
  FILE* file = fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr, "cannot write %s", path.c_str());
  if (size > 0) fwrite(data, 1, size, file);
  fclose(file);
}

void checkReceived(const CreatedContact& c) {
  // Pointer values only: what they point at was the import's and is gone.
  const char* names[] = {c.record.displayName, c.person.firstName, c.person.lastName,
                         c.person.company};
  for (const char* name : names) FUZZ_CHECK(name != nullptr, "a name pointer is NULL");
  FUZZ_CHECK(!c.displayName.empty(), "a contact without a display name was created");
  for (const std::string* name : {&c.displayName, &c.firstName, &c.lastName, &c.company}) {
    FUZZ_CHECK(name->size() <= kMaxName, "a name of %zu bytes", name->size());
  }
  for (const std::string* address : {&c.emailAddress, &c.ifaxAddress}) {
    FUZZ_CHECK(address->size() <= kMaxAddress, "an address of %zu bytes", address->size());
  }
  FUZZ_CHECK(c.record.dlType == 0 && c.record.scan == nullptr && c.record.fax == nullptr &&
                 c.record.favorites == nullptr,
             "not a plain individual");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Setup setup{(data[0] & 1) != 0, (data[0] & 2) ? kLimit - 3 : 0,
              static_cast<unsigned>(data[0] >> 2)};
  std::string file(reinterpret_cast<const char*>(data) + 1, size - 1);
  Expected expected = model(dabfuzz::uploadFields(file, setup.semicolon ? ';' : ','), setup);

  fake().reset();
  fake().dataDir = dataRoot();
  fake().countValue = setup.contactsBefore;
  for (int call = 0; call <= static_cast<int>(size); ++call) {
    if (setup.refuses(call)) fake().refuseCreateCall.insert(call);
  }
  writeUpload(data + 1, size - 1);
  int fdBefore = dabfuzz::lowestFreeFd();

  std::string delimiterName = setup.semicolon ? "Semicolon" : "Comma";
  ResultStatus counts{-7, -7};
  int ok = AddressBookImport(delimiterName.data(), nullptr, nullptr, &counts);

  FUZZ_CHECK(ok == (expected.result == 0), "entry point gave %d, expected status %d", ok,
             expected.result);
  FUZZ_CHECK(
      fake().callCount("DAB_DBI_Connect") == 1 && fake().callCount("DAB_DBI_Disconnect") == 1,
      "connect/disconnect not once each");
  FUZZ_CHECK(dabfuzz::lowestFreeFd() == fdBefore, "the upload was left open");
  if (ok) {
    FUZZ_CHECK(counts.successCount == expected.successCount &&
                   counts.failureCount == expected.failureCount,
               "counts %d/%d, expected %d/%d", counts.successCount, counts.failureCount,
               expected.successCount, expected.failureCount);
    FUZZ_CHECK(counts.successCount == static_cast<int32_t>(fake().created.size()),
               "successCount %d but %zu contacts created", counts.successCount,
               fake().created.size());
    FUZZ_CHECK(counts.failureCount >= 0, "negative failureCount");
  } else {
    FUZZ_CHECK(counts.successCount == -7 && counts.failureCount == -7,
               "counts written on a failed import");
    FUZZ_CHECK(!fake().logTexts(dabtest::kError).empty(), "a failed import logged no error");
  }
  FUZZ_CHECK(fake().created.size() == expected.created.size(), "%zu contacts created, expected %zu",
             fake().created.size(), expected.created.size());
  for (size_t i = 0; i < fake().created.size(); ++i) {
    const CreatedContact& c = fake().created[i];
    checkReceived(c);
    std::vector<std::string> got = {c.firstName, c.lastName,     c.displayName,
                                    c.company,   c.emailAddress, c.ifaxAddress};
    FUZZ_CHECK(got == expected.created[i], "contact %zu differs from the file's record", i);
  }
  return 0;
}
