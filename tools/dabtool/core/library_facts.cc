#include "library_facts.h"

#include "text.h"

namespace dabtool {

std::optional<std::string> delimiterNameOf(const std::string& typed) {
  std::string name = asciiLowerCase(typed);
  if (name == "comma") return std::string("Comma");
  if (name == "semicolon") return std::string("Semicolon");
  return std::nullopt;
}

std::string unknownDelimiter(const std::string& typed) {
  return "unknown delimiter '" + typed + "': use Comma or Semicolon";
}

}  // namespace dabtool
