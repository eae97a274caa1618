// Text from files, the address book and the command line on its way to a
// terminal. Such text may hold bytes a terminal obeys rather than shows: an
// escape sequence that clears the screen, a bidirectional control that
// reverses the rest of the line. Everything dabtool prints that it did not
// write itself goes through terminalText, and table cells are measured in
// the columns a terminal gives them.
#ifndef DABUTILS_TOOLS_DABTOOL_CORE_TERMINAL_TEXT_H_
#define DABUTILS_TOOLS_DABTOOL_CORE_TERMINAL_TEXT_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace dabtool {

enum class Tabs { kKeep, kEscape };

// `text` with every character a terminal would act on spelled out: C0
// controls and DEL as "\t", "\n", "\r" or "\x1b", C1 and bidirectional
// controls as "\u0085", "\u202e", and bytes that are not UTF-8 as "\xff"
// (a lone 0x9B is a control to an 8-bit terminal). A tab stays a tab with
// Tabs::kKeep. Printable UTF-8, backslashes included, is left as it is.
std::string terminalText(std::string_view text, Tabs tabs = Tabs::kKeep);

// Writes terminalText(line) and a line end to `out`.
void printLine(std::FILE* out, std::string_view line);

// Terminal columns that `text` takes, by the C library's character widths
// in a UTF-8 locale: 0 for combining marks and joiners, 2 for wide and
// emoji characters, 1 for everything else, invalid bytes and characters
// without a width included.
int displayWidth(std::string_view text);

// `text` cut to at most `width` columns, ending in "…" when cut. A cut
// falls only between characters, never between a character and the
// combining marks after it, nor inside a sequence joined by U+200D.
std::string fitWidth(std::string_view text, int width);

// terminalText(text, Tabs::kEscape) cut like fitWidth, and never inside
// an escape: what a table cell shows.
std::string terminalCell(std::string_view text, int width);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CORE_TERMINAL_TEXT_H_
