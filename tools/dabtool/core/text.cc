#include "text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace dabtool {

size_t utf8CharAt(std::string_view text, size_t at, uint32_t* code) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  size_t length = lead < 0x80                    ? 1
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(at + k) & 0x3F);
  }
  unsigned char second = length > 1 ? byte(at + 1) : 0;
  bool overlong = (lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90);
  bool surrogate = lead == 0xED && second > 0x9F;
  bool tooHigh = lead == 0xF4 && second > 0x8F;
  if (overlong || surrogate || tooHigh) return 0;
  if (code != nullptr) *code = value;
  return length;
}

size_t firstInvalidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    // Most contact text is ASCII: pass over it eight bytes at a time.
    uint64_t word;
    if (i + sizeof word <= text.size()) {
      std::memcpy(&word, text.data() + i, sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += sizeof word;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t length = utf8CharAt(text, i);
    if (length == 0) return i;
    i += length;
  }
  return std::string_view::npos;
}

void appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int lineAt(std::string_view text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
    } else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
      ++line;
    }
  }
  return line;
}

std::optional<long> parseWholeNumber(const std::string& text, long min, long max) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  long result = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size() || errno != 0) return std::nullopt;
  if (result < min || result > max) return std::nullopt;
  return result;
}

std::string wholeNumberProblem(const std::string& name, long min, long max,
                               const std::string& typed) {
  return name + " wants a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
         ", not '" + typed + "'";
}

std::string asciiLowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string plural(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string groupedDigits(long n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return (n < 0 ? "-" : "") + digits;
}

std::string pluralGrouped(long n, const char* one, const char* many) {
  return groupedDigits(n) + " " + (n == 1 ? one : many);
}

std::string sizeText(size_t bytes) {
  constexpr size_t kMiB = size_t{1} << 20;
  constexpr size_t kKiB = size_t{1} << 10;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return plural(static_cast<long>(bytes), "byte", "bytes");
}

std::string trimmed(std::string_view text) {
  size_t end = text.find_last_not_of(" \r\n\t");
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace dabtool
