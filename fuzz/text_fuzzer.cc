// Field quoting and fax-number masking on arbitrary text (the input up to its
// first NUL, as a C string). A quoted field must read back as the input
// (outer quotes stripped, inner quotes undoubled) and come back exactly when
// the text holds a comma or a double quote. A masked number must equal an
// independent masking and never be longer than the input. Neither may change
// its input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DABExport.h"
#include "fuzz_check.h"
#include "scripted_platform.h"

namespace {

DABExport& exporter() {
  static DABExport object;
  return object;
}

// Drops every second '/'-separated segment. Empty segments are no segments:
// "12//56" is the two segments 12 and 56.
std::string referenceMask(const std::string& text) {
  std::vector<std::string> segments;
  std::string current;
  for (char c : text + "/") {
    if (c != '/') {
      current += c;
    } else if (!current.empty()) {
      segments.push_back(current);
      current.clear();
    }
  }
  std::string masked;
  for (size_t k = 0; k < segments.size(); ++k) {
    if (k > 0) masked += '/';
    if (k % 2 == 0) masked += segments[k];
  }
  return masked;
}

// The text inside a quoted field, or false when `quoted` is not one
// well-formed quoted field.
bool unquote(const std::string& quoted, std::string* text) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
  text->clear();
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == '"') {
      if (i + 2 >= quoted.size() || quoted[i + 1] != '"') return false;
      ++i;
    }
    *text += quoted[i];
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dabtest::fake().reset();
  std::string input(reinterpret_cast<const char*>(data), size);
  const std::string text = input.c_str();

  char* quoted = exporter().makeCsvSafe(input.data());
  bool needsQuotes = text.find_first_of(",\"") != std::string::npos;
  FUZZ_CHECK((quoted != nullptr) == needsQuotes, "quoted: %d, needs quotes: %d", quoted != nullptr,
             needsQuotes);
  if (quoted != nullptr) {
    std::string back;
    FUZZ_CHECK(unquote(quoted, &back), "not one quoted field: [%s]", quoted);
    FUZZ_CHECK(back == text, "reads back as [%s], not [%s]", back.c_str(), text.c_str());
    free(quoted);
  }

  char* masked = exporter().MaskData(input.data());
  FUZZ_CHECK(masked != nullptr, "MaskData returned NULL");
  std::string expected = referenceMask(text);
  FUZZ_CHECK(expected == masked, "masked [%s], expected [%s]", masked, expected.c_str());
  FUZZ_CHECK(strlen(masked) <= text.size(), "masked text longer than its input");
  free(masked);

  FUZZ_CHECK(input == std::string(reinterpret_cast<const char*>(data), size),
             "the input was changed");
  return 0;
}
