// The upload's CSV record parser alone. The first byte picks the delimiter;
// the rest is the file, read field by field until the end or an error and
// compared with an independent reading of the same bytes: the same results,
// the same values, no byte lost or invented. Every value must stay
// NUL-terminated within 1023 bytes, with `counter` its stored length and
// nothing written after it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "DABImport.h"
#include "csv_reference.h"
#include "fuzz_check.h"
#include "scripted_platform.h"

namespace {

using dabfuzz::RefField;

// The parser only reads its arguments; one object serves every run.
DABImport& parserOwner() {
  static DABImport owner;
  return owner;
}

void checkBuffer(const AbaPublicAddressParameters& params) {
  FUZZ_CHECK(params.counter >= 0 && static_cast<size_t>(params.counter) <= dabfuzz::kMaxValue,
             "counter %d out of range", params.counter);
  static const char kZeros[sizeof params.fieldBuffer] = {};
  size_t rest = sizeof params.fieldBuffer - static_cast<size_t>(params.counter);
  FUZZ_CHECK(memcmp(params.fieldBuffer + params.counter, kZeros, rest) == 0,
             "bytes after the value (counter %d) are not all 0", params.counter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  char delimiter = (data[0] & 1) ? ';' : ',';
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<RefField> expected = dabfuzz::uploadFields(bytes, delimiter);

  dabtest::fake().reset();
  dabtest::fake().keepInfoLogs = false;
  int fdBefore = dabfuzz::lowestFreeFd();
  FILE* file = fmemopen(bytes.data(), bytes.size(), "r");
  FUZZ_CHECK(file != nullptr, "fmemopen failed");
  AbaPublicAddressParameters params;
  for (size_t n = 0; n < expected.size(); ++n) {
    // Stale bytes must not survive into the next field.
    memset(&params, 0x5a, sizeof params);
    int result = parserOwner().import_address_book_parser(file, delimiter, &params);
    checkBuffer(params);
    std::string value(params.fieldBuffer, static_cast<size_t>(params.counter));
    FUZZ_CHECK(result == expected[n].result && value == expected[n].value,
               "field %zu: got result %d with %zu bytes, expected %d with %zu bytes", n, result,
               value.size(), expected[n].result, expected[n].value.size());
  }
  fclose(file);
  FUZZ_CHECK(dabfuzz::lowestFreeFd() == fdBefore, "a descriptor was left open");
  return 0;
}
