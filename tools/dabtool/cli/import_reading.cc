#include "import_reading.h"

#include <cstdio>

#include "library_facts.h"
#include "terminal_text.h"
#include "text_table.h"

namespace dabtool {

std::vector<Option> readingOptionList() {
  return {{"--columns", true}, {"--positional", false}, {"--encoding", true}};
}

ReadingOptions readingOptionsOf(const ParsedArgs& parsed) {
  ReadingOptions options;
  options.columns = parsed.value("--columns", "");
  options.positional = parsed.flag("--positional");
  options.encoding = parsed.value("--encoding", "");
  options.delimiterGiven = parsed.has("--delimiter") || parsed.has("--raw-delimiter");
  if (options.positional && !options.columns.empty()) {
    throw UsageError("--positional takes the columns as they stand, so --columns has no place");
  }
  return options;
}

void printReading(const ImportReport& report) {
  const UploadReading& reading = report.reading;
  printLine(stdout, readingSentence(reading, report.request.file) + ".");
  bool dryRun = report.request.dryRun;
  if (reading.asIs && !dryRun) return;
  printLine(stdout, "Columns:");
  for (const std::string& line : mappingLines(reading)) printLine(stdout, "  " + line);
  for (const std::string& note : readingNotes(reading)) printLine(stdout, note + ".");
  if (!dryRun || reading.preview.empty()) return;
  printLine(stdout, "The first contacts as they would be created:");
  TextTable table({"First name", "Last name", "Display name", "Company", "E-mail", "Internet fax"},
                  {20, 20, 30, 24, 32, 32});
  for (const ContactFields& fields : reading.preview) {
    table.addRow(std::vector<std::string>(fields.begin(), fields.end()));
  }
  table.print(stdout);
}

}  // namespace dabtool
