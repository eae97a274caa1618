// How `dabtool import` is told to read a person's file (--columns,
// --positional, --encoding, --delimiter) and how it shows what it read:
// the format, the column mapping, what was left out and, in a dry run, the
// first contacts as they would be created.
#ifndef DABUTILS_TOOLS_DABTOOL_CLI_IMPORT_READING_H_
#define DABUTILS_TOOLS_DABTOOL_CLI_IMPORT_READING_H_

#include <vector>

#include "args.h"
#include "import_book.h"

namespace dabtool {

// The options above, for the import's parser.
std::vector<Option> readingOptionList();

// What they ask for. Throws UsageError for --positional with --columns.
ReadingOptions readingOptionsOf(const ParsedArgs& parsed);

// Prints how the file was read; the mapping and the first contacts only
// where they say something (a converted file, or a dry run).
void printReading(const ImportReport& report);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CLI_IMPORT_READING_H_
