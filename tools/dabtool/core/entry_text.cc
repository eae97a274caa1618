#include "entry_text.h"

namespace dabtool {

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
