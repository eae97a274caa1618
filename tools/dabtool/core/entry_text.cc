#include "entry_text.h"

#include <algorithm>
#include <iterator>

#include "text.h"

namespace dabtool {

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool containsLowerCase(const std::string& text, const std::string& lowerCaseQuery) {
  auto found = std::search(text.begin(), text.end(), lowerCaseQuery.begin(), lowerCaseQuery.end(),
                           [](char a, char b) { return asciiLower(a) == b; });
  return found != text.end();
}

}  // namespace

std::string kindName(int dlType) {
  switch (dlType) {
    case 0:
      return "contact";
    case 1:
      return "fax group";
    case 2:
      return "e-mail group";
    default:
      return "group (kind " + std::to_string(dlType) + ")";
  }
}

std::string protocolName(int code) {
  switch (code) {
    case -1:
      return "";
    case 0:
      return "NDS";
    case 1:
      return "FTP";
    case 2:
      return "SMB";
    case 6:
      return "SFTP";
    default:
      return "code " + std::to_string(code);
  }
}

std::string favoriteMarks(const BookEntry& entry) {
  std::string marks;
  if (entry.favoritesOrder != -1) marks = "#" + std::to_string(entry.favoritesOrder);
  auto add = [&marks](bool on, const char* letter) {
    if (!on) return;
    if (!marks.empty()) marks += ' ';
    marks += letter;
  };
  add(entry.faxFavorite, "fax");
  add(entry.emailFavorite, "mail");
  add(entry.scanFavorite, "scan");
  return marks;
}

}  // namespace dabtool

namespace dabtool {

bool entryMatchesLowerCase(const BookEntry& entry, const std::string& lowerCaseQuery) {
  if (lowerCaseQuery.empty() || lowerCaseQuery == std::to_string(entry.id)) return true;
  const std::string* texts[] = {&entry.displayName, &entry.firstName,   &entry.lastName,
                                &entry.company,     &entry.email,       &entry.internetFax,
                                &entry.faxNumber,   &entry.scanNickName};
  return std::any_of(std::begin(texts), std::end(texts), [&](const std::string* text) {
    return containsLowerCase(*text, lowerCaseQuery);
  });
}

bool entryMatches(const BookEntry& entry, const std::string& query) {
  return entryMatchesLowerCase(entry, asciiLowerCase(query));
}

std::string sameContactKey(std::string_view displayName, std::string_view email) {
  // A NUL cannot stand in either text as the library stores it.
  std::string key(displayName.size() + 1 + email.size(), '\0');
  auto end = std::transform(displayName.begin(), displayName.end(), key.begin(), asciiLower);
  std::transform(email.begin(), email.end(), end + 1, asciiLower);
  return key;
}

}  // namespace dabtool
