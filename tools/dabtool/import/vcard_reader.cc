#include "vcard_reader.h"

#include <algorithm>
#include <optional>

#include "text.h"
#include "text_encoding.h"

namespace dabtool {

namespace {

// One content line after unfolding: "item1.EMAIL;TYPE=INTERNET,pref:a@b".
struct Property {
  std::string name;    // upper case, without its group
  std::string params;  // upper case, ";"-separated, as written
  std::string value;   // raw, escapes and encodings still in it
  int line = 0;
};

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The value of parameter `key` ("CHARSET"), or "" when absent.
std::string paramValue(const std::string& params, const std::string& key) {
  size_t at = params.find(";" + key + "=");
  if (at == std::string::npos) return "";
  size_t start = at + key.size() + 2;
  size_t end = params.find(';', start);
  return params.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool quotedPrintable(const std::string& params) {
  return params.find("QUOTED-PRINTABLE") != std::string::npos;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string decodeQuotedPrintable(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    int high = i + 2 < value.size() ? hexDigit(value[i + 1]) : -1;
    int low = i + 2 < value.size() ? hexDigit(value[i + 2]) : -1;
    if (value[i] == '=' && high >= 0 && low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += value[i];
    }
  }
  return out;
}

// Splits at every ';' that no backslash escapes and undoes the escapes.
std::vector<std::string> components(const std::string& value) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      char next = value[++i];
      parts.back() += next == 'n' || next == 'N' ? ' ' : next;
    } else if (c == ';') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// Content lines with folding undone: a line that starts with a blank or a
// tab continues the one before, and in 2.1 a QUOTED-PRINTABLE line that
// ends in '=' continues on the next.
std::vector<Property> contentLines(std::string_view text) {
  std::vector<Property> lines;
  std::string current;
  int currentLine = 0, line = 0;
  size_t pos = 0;
  auto flush = [&]() {
    size_t colon = current.find(':');
    if (colon != std::string::npos) {
      Property property;
      std::string head = upper(current.substr(0, colon));
      size_t semicolon = head.find(';');
      property.name = head.substr(0, semicolon);
      property.name = property.name.substr(property.name.rfind('.') + 1);
      property.params = semicolon == std::string::npos ? "" : head.substr(semicolon);
      property.value = current.substr(colon + 1);
      property.line = currentLine;
      lines.push_back(std::move(property));
    }
    current.clear();
  };
  while (pos < text.size()) {
    size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    ++line;
    bool continued = !raw.empty() && (raw[0] == ' ' || raw[0] == '\t');
    bool softBreak = !current.empty() && current.back() == '=' &&
                     quotedPrintable(upper(current.substr(0, current.find(':'))));
    if (continued && !current.empty()) {
      current += raw.substr(1);
    } else if (softBreak) {
      current.pop_back();
      current += raw;
    } else {
      flush();
      current = std::string(raw);
      currentLine = line;
    }
  }
  flush();
  return lines;
}

// The value as UTF-8 text, QUOTED-PRINTABLE and CHARSET undone.
std::string textOf(const Property& property, const std::string& shownName) {
  std::string value = property.value;
  if (quotedPrintable(property.params)) value = decodeQuotedPrintable(value);
  std::string charset = paramValue(property.params, "CHARSET");
  if (!charset.empty() && charset != "UTF-8" && firstInvalidUtf8(value) != std::string::npos) {
    value = convertToUtf8(value, charset, shownName);
  }
  return value;
}

bool preferred(const std::string& params) { return params.find("PREF") != std::string::npos; }

class CardBuilder {
 public:
  explicit CardBuilder(const std::string& shownName) : shownName_(shownName) {}

  void begin(int line) {
    card_ = VCard();
    card_.startLine = line;
    emailPreferred_ = false;
    open_ = true;
  }
  bool open() const { return open_; }

  void take(const Property& property) {
    const std::string& name = property.name;
    if (name == "FN") {
      card_.fields[kDisplayName] = components(textOf(property, shownName_))[0];
    } else if (name == "N") {
      std::vector<std::string> parts = components(textOf(property, shownName_));
      card_.fields[kLastName] = parts[0];
      if (parts.size() > 1) card_.fields[kFirstName] = parts[1];
    } else if (name == "ORG") {
      card_.fields[kCompany] = components(textOf(property, shownName_))[0];
    } else if (name == "EMAIL") {
      bool pref = preferred(property.params);
      if (card_.fields[kEmail].empty() || (pref && !emailPreferred_)) {
        card_.fields[kEmail] = components(textOf(property, shownName_))[0];
        emailPreferred_ = pref;
      }
    }
  }

  VCard end(int line) {
    open_ = false;
    card_.endLine = line;
    return card_;
  }

 private:
  const std::string& shownName_;
  VCard card_;
  bool emailPreferred_ = false;
  bool open_ = false;
};

}  // namespace

bool isVCardFile(std::string_view utf8) {
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  size_t start = utf8.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  return upper(std::string(utf8.substr(start, 11))) == "BEGIN:VCARD";
}

std::vector<VCard> readVCards(std::string_view utf8, const std::string& shownName) {
  std::vector<VCard> cards;
  CardBuilder builder(shownName);
  int lastLine = 0;
  for (const Property& property : contentLines(utf8)) {
    lastLine = property.line;
    std::string value = upper(property.value);
    if (property.name == "BEGIN" && value == "VCARD") {
      if (builder.open()) cards.push_back(builder.end(property.line - 1));
      builder.begin(property.line);
    } else if (property.name == "END" && value == "VCARD") {
      if (builder.open()) cards.push_back(builder.end(property.line));
    } else if (builder.open()) {
      builder.take(property);
    }
  }
  if (builder.open()) cards.push_back(builder.end(lastLine));
  return cards;
}

}  // namespace dabtool
