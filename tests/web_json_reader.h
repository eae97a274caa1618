// A strict reader of JSON text for the web console's tests: it takes the
// whole grammar (RFC 8259) and throws on anything else, so a test that reads
// an answer also checks that the answer is well-formed.
#ifndef DABUTILS_TESTS_WEB_JSON_READER_H_
#define DABUTILS_TESTS_WEB_JSON_READER_H_

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace webtest {

struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool flag = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  // The field `name`; throws when this is no object or has no such field.
  const Json& operator[](const std::string& name) const {
    if (kind != kObject) throw std::runtime_error("not an object, looking for " + name);
    auto found = fields.find(name);
    if (found == fields.end()) throw std::runtime_error("no field " + name);
    return found->second;
  }
  const Json& operator[](size_t index) const { return items.at(index); }
  bool has(const std::string& name) const { return kind == kObject && fields.count(name) != 0; }
  long integer() const { return static_cast<long>(number); }
};

class JsonReader {
 public:
  static Json parse(const std::string& text) {
    JsonReader reader(text);
    Json value = reader.value();
    reader.blanks();
    if (reader.at_ != text.size()) reader.fail("text after the value");
    return value;
  }

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("bad JSON at " + std::to_string(at_) + ": " + what);
  }
  void blanks() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) {
      ++at_;
    }
  }
  bool take(char c) {
    blanks();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected ") + c);
  }
  bool word(const char* w) {
    std::string text(w);
    if (s_.compare(at_, text.size(), text) != 0) return false;
    at_ += text.size();
    return true;
  }

  Json value() {
    blanks();
    if (at_ >= s_.size()) fail("end of text");
    Json v;
    char c = s_[at_];
    if (c == '{') return object();
    if (c == '[') return array();
    if (c == '"') {
      v.kind = Json::kString;
      v.text = string();
    } else if (word("true")) {
      v.kind = Json::kBool;
      v.flag = true;
    } else if (word("false")) {
      v.kind = Json::kBool;
    } else if (word("null")) {
      v.kind = Json::kNull;
    } else {
      v.kind = Json::kNumber;
      v.number = number();
    }
    return v;
  }
  Json object() {
    Json v;
    v.kind = Json::kObject;
    expect('{');
    if (take('}')) return v;
    do {
      blanks();
      if (at_ >= s_.size() || s_[at_] != '"') fail("expected a key");
      std::string key = string();
      expect(':');
      v.fields[key] = value();
    } while (take(','));
    expect('}');
    return v;
  }
  Json array() {
    Json v;
    v.kind = Json::kArray;
    expect('[');
    if (take(']')) return v;
    do {
      v.items.push_back(value());
    } while (take(','));
    expect(']');
    return v;
  }
  double number() {
    size_t start = at_;
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    while (at_ < s_.size() && std::string("0123456789.eE+-").find(s_[at_]) != std::string::npos) {
      ++at_;
    }
    if (at_ == start) fail("expected a value");
    return std::strtod(s_.substr(start, at_ - start).c_str(), nullptr);
  }
  std::string string() {
    ++at_;  // the opening quote
    std::string out;
    while (at_ < s_.size() && s_[at_] != '"') {
      auto c = static_cast<unsigned char>(s_[at_++]);
      if (c < 0x20) fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= s_.size()) fail("end of text in an escape");
      char e = s_[at_++];
      const std::string simple = "\"\\/bfnrt";
      const std::string meant = "\"\\/\b\f\n\r\t";
      if (simple.find(e) != std::string::npos) {
        out += meant[simple.find(e)];
      } else if (e == 'u' && at_ + 4 <= s_.size()) {
        unsigned code = static_cast<unsigned>(std::stoul(s_.substr(at_, 4), nullptr, 16));
        at_ += 4;
        utf8(out, code);
      } else {
        fail("unknown escape");
      }
    }
    if (at_ >= s_.size()) fail("unterminated string");
    ++at_;
    return out;
  }
  static void utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  const std::string& s_;
  size_t at_ = 0;
};

}  // namespace webtest

#endif  // DABUTILS_TESTS_WEB_JSON_READER_H_
