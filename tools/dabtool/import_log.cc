#include "import_log.h"

#include <cstdlib>

#include "log_listener.h"

namespace dabtool {

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

int numberAfter(const std::string& text, const char* prefix) {
  return std::atoi(text.c_str() + std::char_traits<char>::length(prefix));
}

// The column a too-long line names, from its "<field>Field is too long" start.
std::string tooLongColumn(const std::string& message) {
  static const std::pair<const char*, const char*> kFields[] = {
      {"firstName", "the first name (column 1)"},
      {"lastName", "the last name (column 2)"},
      {"displayName", "the display name (column 3)"},
      {"company", "the company (column 4)"},
      {"email", "the e-mail address (column 5)"},
      {"ifax", "the internet-fax address (column 6)"},
  };
  for (const auto& field : kFields) {
    if (startsWith(message, field.first)) return field.second;
  }
  return "a value";
}

}  // namespace

void ImportLogReader::onLine(int, const std::string& raw) {
  std::string message = trimmed(raw);
  if (startsWith(message, "Value of *ch")) {
    // The parser starts the first field after a record was handled.
    if (closing_) current_ = log_.parsedRecords + 1;
    closing_ = false;
  } else if (startsWith(message, "Successfully Parsed record Number ")) {
    log_.parsedRecords = numberAfter(message, "Successfully Parsed record Number ");
    current_ = log_.parsedRecords;
    closing_ = true;
  } else if (startsWith(message, "Contact Added Successfully")) {
    log_.created.insert(current_);
  } else if (startsWith(message, "Contact Not Added ")) {
    log_.refused[numberAfter(message, "Contact Not Added ")] = "the address book refused it";
  } else if (startsWith(message, "Record ") &&
             message.find(" has no displayName field") != std::string::npos) {
    log_.refused[numberAfter(message, "Record ")] =
        "it has fewer than 3 columns, so no display name";
  } else if (message == "Error Parsing field") {
    log_.parseError = true;
    log_.stoppedAtRecord = closing_ ? log_.parsedRecords + 1 : current_;
  } else if (message == "We have a malformed string") {
    log_.malformedString = true;
  } else if (message == "Not enough records in file") {
    log_.tooFewRecords = true;
  } else if (startsWith(message, "Failed to open Address Book File")) {
    log_.fileNotOpened = true;
  } else if (message == "Connection not estabilished") {
    log_.notConnected = true;
  } else {
    noteFieldProblem(message);
  }
}

void ImportLogReader::noteFieldProblem(const std::string& message) {
  // The header row's titles pass the same checks; only its blank display
  // name matters, since it makes the import skip the first data row.
  if (message == "nameField is BLANK") {
    if (current_ == 1) {
      log_.headerDisplayNameBlank = true;
    } else {
      log_.refused[current_] = "the display name (column 3) is empty";
    }
    return;
  }
  if (current_ == 1) return;
  std::vector<std::string>& doubts = log_.doubts[current_];
  if (message == "email field contains illegal character") {
    doubts.push_back("the e-mail address (column 5) contains a blank or a non-ASCII character");
  } else if (message == "ifax field contains illegal character") {
    doubts.push_back(
        "the internet-fax address (column 6) contains a blank or a non-ASCII character");
  } else if (message.find("field is longer than") != std::string::npos) {
    bool email = startsWith(message, "email");
    std::string limit = message.substr(message.find("longer than") + 12);
    log_.refused[current_] = std::string(email ? "the e-mail address (column 5)"
                                               : "the internet-fax address (column 6)") +
                             " is longer than " + limit;
  } else if (message.find("is too long") != std::string::npos ||
             message.find("greater than the max buffer size") != std::string::npos) {
    bool nameLimit = message.find("MAX_NUMBER_OF_CHARS") != std::string::npos;
    doubts.push_back(tooLongColumn(message) + (nameLimit ? " is longer than 255 characters"
                                                         : " is too long (" + message + ")"));
  }
  if (doubts.empty()) log_.doubts.erase(current_);
}

ImportLog ImportLogReader::result() const {
  ImportLog log = log_;
  if (log.headerDisplayNameBlank && log.parsedRecords >= 2 && log.created.count(2) == 0 &&
      log.refused.count(2) == 0) {
    log.refused[2] =
        "the header row's third column is empty, and the import then skips the first data row";
  }
  return log;
}

}  // namespace dabtool
