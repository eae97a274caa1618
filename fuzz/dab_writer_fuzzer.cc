// The DAB writer on contact lists built from the input: arbitrary texts,
// kinds, protocol codes, server-address forms (a NULL address included),
// favourite flags, group memberships and failing membership queries, a
// connection status, a count and a delimiter. The file must read back, with
// the export's quoting rule, as count + 1 records of exactly 26 cells, each
// ended by CR LF, and every cell must hold what the contact says.
//
// Texts are arbitrary bytes except NUL. The quoting rule quotes only texts
// with a comma or a double quote, so a text that holds the delimiter or a line
// end and neither of those breaks its line by design; such bytes are taken
// out of texts that will not be quoted (and always out of the fax number and
// the server address, which masking and splitting can strip of their comma).
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DABExport.h"
#include "csv_reference.h"
#include "fuzz_check.h"
#include "scripted_platform.h"

namespace {

using dabtest::ScriptedContact;

std::string without(std::string text, const std::string& bytes) {
  text.erase(std::remove_if(text.begin(), text.end(),
                            [&](char c) { return bytes.find(c) != std::string::npos; }),
             text.end());
  return text;
}

class Builder {
 public:
  Builder(const uint8_t* data, size_t size) : in_(data, size) {}

  FuzzedDataProvider& in() { return in_; }
  void setDelimiter(char delimiter) { delimiter_ = delimiter; }

  std::string text() {
    std::string t = without(in_.ConsumeRandomLengthString(48), std::string(1, '\0'));
    if (t.find_first_of(",\"") != std::string::npos) return t;
    return without(t, unsafe());
  }
  std::string unquotedText() { return without(text(), unsafe()); }

  ScriptedContact contact() {
    ScriptedContact c;
    c.id = in_.ConsumeIntegral<int32_t>();
    switch (in_.ConsumeIntegralInRange(0, 4)) {
      case 0:
      case 1:
        c.dlType = 0;
        break;
      case 2:
        c.dlType = 1;
        break;
      case 3:
        c.dlType = 2;
        break;
      default:
        c.dlType = in_.ConsumeIntegral<int32_t>();
    }
    c.displayName = text();
    c.firstName = text();
    c.lastName = text();
    c.company = text();
    c.email = text();
    c.emailFavorite = in_.ConsumeIntegral<int32_t>();
    c.internetFax = text();
    c.faxNumber = unquotedText();
    c.faxFavorite = in_.ConsumeIntegral<int32_t>();
    c.allFavoritesOrder = in_.ConsumeBool() ? -1 : in_.ConsumeIntegral<int32_t>();
    c.scanNickName = text();
    if (in_.ConsumeBool()) c.scanServerAddress = unquotedText();
    c.scanServerAddressType = in_.ConsumeIntegralInRange(-2, 4);
    c.scanDocumentPath = text();
    c.scanLoginName = text();
    c.scanTransferProtocol = in_.ConsumeIntegralInRange(-2, 8);
    c.scanShareOrVolume = text();
    c.scanNdsContext = text();
    c.scanNdsTree = text();
    c.scanFavorite = in_.ConsumeIntegral<int32_t>();
    return c;
  }

 private:
  std::string unsafe() const { return std::string(1, delimiter_) + "\r\n"; }
  FuzzedDataProvider in_;
  char delimiter_ = ',';
};

// The first run of bytes outside `delims` from `at`, after skipping a leading
// run of them; `at` moves past the byte that ends it.
std::string token(const std::string& text, size_t* at, const std::string& delims) {
  size_t start = text.find_first_not_of(delims, std::min(*at, text.size()));
  if (start == std::string::npos) {
    *at = text.size();
    return std::string();
  }
  size_t end = text.find_first_of(delims, start);
  if (end == std::string::npos) end = text.size();
  *at = end + 1;
  return text.substr(start, end - start);
}

// strtol's reading on a device whose long is 32 bits wide.
int32_t port(const std::string& text) {
  long long value = strtoll(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

std::string mask(const std::string& text) {
  std::string masked;
  size_t at = 0;
  for (int k = 1;; ++k) {
    std::string segment = token(text, &at, "/");
    if (segment.empty()) return masked;
    if (k > 1) masked += '/';
    if (k % 2 == 1) masked += segment;
  }
}

const int kCsvProtocol[] = {4, 1, 3, 5, 6, 7, 2};

std::vector<std::string> expectedCells(const ScriptedContact& c, const std::string& memberOf) {
  std::vector<std::string> cells(DAB_CSV_COLUMN_COUNT);
  cells[0] = std::to_string(c.id);
  cells[1] = c.displayName;
  cells[6] = memberOf;
  if (c.dlType != 0) {
    cells[7] = c.dlType == 1 ? "1" : c.dlType == 2 ? "2" : "0";
    cells[8] = c.dlType == 1 ? "Fax" : c.dlType == 2 ? "Email" : "Unknown";
    cells[10] = std::to_string(c.faxFavorite);
    cells[12] = std::to_string(c.emailFavorite);
    cells[15] = std::to_string(c.scanFavorite);
    return cells;
  }
  cells[2] = c.firstName;
  cells[3] = c.lastName;
  cells[4] = c.company;
  if (c.allFavoritesOrder != -1) cells[5] = std::to_string(c.allFavoritesOrder);
  cells[7] = "0";
  cells[9] = mask(c.faxNumber);
  cells[10] = std::to_string(c.faxFavorite);
  cells[11] = c.email;
  cells[12] = std::to_string(c.emailFavorite);
  cells[13] = c.internetFax;
  cells[14] = c.scanNickName;
  cells[15] = std::to_string(c.scanFavorite);
  int code = c.scanTransferProtocol;
  cells[16] = std::to_string(code >= 0 && code <= 6 ? kCsvProtocol[code] : 4);
  std::string portText;
  int type = c.scanServerAddressType;
  if (c.scanServerAddress && (type == 0 || type == 1)) {
    size_t at = 0;
    cells[17] = token(*c.scanServerAddress, &at, ":");
    portText = token(*c.scanServerAddress, &at, ":");
  } else if (c.scanServerAddress && type == 2) {
    size_t at = 0;
    std::string host = token(*c.scanServerAddress, &at, "]");
    if (!host.empty()) cells[17] = host + "]";
    portText = token(*c.scanServerAddress, &at, ":");
  }
  cells[18] = std::to_string(port(portText));
  cells[19] = c.scanDocumentPath;
  cells[20] = c.scanLoginName;
  if (code == 2) cells[22] = c.scanShareOrVolume;
  cells[23] = c.scanNdsTree;
  cells[24] = c.scanNdsContext;
  if (code == 0) cells[25] = c.scanShareOrVolume;
  return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dabtest::fake().reset();
  Builder build(data, size);
  char delimiter = build.in().ConsumeBool() ? ',' : ';';
  build.setDelimiter(delimiter);
  int32_t dbStatus = build.in().ConsumeBool() ? 0 : 1;
  size_t entries = build.in().ConsumeIntegralInRange<size_t>(0, 6);
  std::vector<ScriptedContact>& contacts = dabtest::fake().contacts;
  for (size_t i = 0; i < entries; ++i) {
    ScriptedContact c = build.contact();
    std::vector<int32_t>& ids = dabtest::fake().groupIds[c.id];
    ids.clear();
    for (int n = build.in().ConsumeIntegralInRange(0, 3); n > 0; --n) {
      ids.push_back(build.in().ConsumeIntegral<int32_t>());
    }
    if (build.in().ConsumeBool()) dabtest::fake().groupIdsFailFor.insert(c.id);
    contacts.push_back(c);
  }
  int count = build.in().ConsumeIntegralInRange<int>(-2, static_cast<int>(entries));

  DABExport exporter;
  exporter.dbStatus = dbStatus;
  DAB_DBI_ContactList_t list{0, dabtest::fake().handOutList()};
  DAB_DBI_Contact_t* first = list.contacts;
  char* bytes = nullptr;
  size_t length = 0;
  FILE* file = open_memstream(&bytes, &length);
  FUZZ_CHECK(file != nullptr, "open_memstream failed");
  exporter.writeToExportFile(file, delimiter, count, &list);
  fclose(file);
  std::string written(bytes, length);
  free(bytes);
  FUZZ_CHECK(list.contacts == first + std::max(count, 0), "the cursor moved %td entries",
             list.contacts - first);
  FUZZ_CHECK(dabtest::fake().releaseList(first), "the list was not handed out");

  std::vector<std::vector<std::string>> records;
  std::string why;
  FUZZ_CHECK(dabfuzz::exportRecords(written, delimiter, &records, &why), "%s", why.c_str());
  FUZZ_CHECK(records.size() == static_cast<size_t>(std::max(count, 0)) + 1,
             "%zu records for a count of %d", records.size(), count);
  for (size_t r = 0; r < records.size(); ++r) {
    FUZZ_CHECK(records[r].size() == DAB_CSV_COLUMN_COUNT, "record %zu has %zu cells", r,
               records[r].size());
  }
  for (size_t i = 0; i < DAB_CSV_COLUMN_COUNT; ++i) {
    FUZZ_CHECK(records[0][i] == DAB_CSV_COLUMN_NAMES[i], "header cell %zu", i + 1);
  }
  for (size_t r = 1; r < records.size(); ++r) {
    const ScriptedContact& c = contacts[r - 1];
    std::string memberOf;
    const std::vector<int32_t>& ids = dabtest::fake().groupIds[c.id];
    if (dbStatus == 0 && !dabtest::fake().groupIdsFailFor.count(c.id) && !ids.empty()) {
      for (size_t k = 0; k < ids.size(); ++k) memberOf += (k ? "," : "") + std::to_string(ids[k]);
      memberOf = "\"" + memberOf + "\"";
    }
    std::vector<std::string> expected = expectedCells(c, memberOf);
    for (size_t i = 0; i < DAB_CSV_COLUMN_COUNT; ++i) {
      FUZZ_CHECK(records[r][i] == expected[i], "record %zu cell %zu: [%s], expected [%s]", r, i + 1,
                 records[r][i].c_str(), expected[i].c_str());
    }
  }
  int queries = dabtest::fake().callCount("DAB_DBI_GetAllGroupIds");
  FUZZ_CHECK(queries == (dbStatus == 0 ? std::max(count, 0) : 0), "%d membership queries", queries);
  return 0;
}
