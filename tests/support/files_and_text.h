// Helpers shared by the tests: a temporary folder, whole files, lines,
// substrings with a readable failure, CSV cells and what a FILE* received.
#ifndef DABUTILS_TESTS_SUPPORT_FILES_AND_TEXT_H_
#define DABUTILS_TESTS_SUPPORT_FILES_AND_TEXT_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testutil {

inline std::string readAll(const std::filesystem::path& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

// A fresh folder, removed with all it holds when the object dies.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/dabutils-test-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    dir_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::filesystem::path at(const std::string& name) const { return dir_ / name; }
  void writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(at(name), std::ios::binary) << bytes;
  }

  std::filesystem::path dir_;
};

// The pieces of `text` between the `end`s; nothing after a last `end`.
inline std::vector<std::string> splitLines(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size()) {
    lines.push_back(text.substr(start, at - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

inline size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Whether `text` holds `part`, showing the text when it does not.
inline testing::AssertionResult has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// Whatever `print` writes to a FILE*, as a string.
template <typename Print>
std::string printed(Print print) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), std::fclose);
  print(file.get());
  std::string text(static_cast<size_t>(std::ftell(file.get())), '\0');
  std::rewind(file.get());
  EXPECT_EQ(std::fread(text.data(), 1, text.size(), file.get()), text.size());
  return text;
}

// Cells of a CSV text read by the usual rules (quotes, doubled quotes,
// CR LF or LF line ends).
inline std::vector<std::vector<std::string>> parseCsv(const std::string& text, char delimiter) {
  std::vector<std::vector<std::string>> rows(1);
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
      cell += text[i++];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (quoted || (c != delimiter && c != '\n' && c != '\r')) {
      cell += c;
    } else {
      rows.back().push_back(cell);
      cell.clear();
      if (c == delimiter) continue;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      rows.emplace_back();
    }
  }
  if (!cell.empty() || !rows.back().empty()) rows.back().push_back(cell);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

}  // namespace testutil

#endif  // DABUTILS_TESTS_SUPPORT_FILES_AND_TEXT_H_
