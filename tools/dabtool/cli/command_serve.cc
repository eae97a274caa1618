// dabtool serve: the address book in a browser. An HTTP server in this
// process calls the library's entry points, one at a time, for a page that
// lists, exports, imports and downloads templates.
#include <cstdio>
#include <optional>

#include "args.h"
#include "commands.h"
#include "console.h"
#include "terminal_text.h"
#include "text.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool serve [--port P] [--bind ADDR] [--max-upload SIZE] [--quiet]\n"
    "\n"
    "Serves the address book console, a page to browse and search the book,\n"
    "export it, download templates and import files, at http://ADDR:P/ until\n"
    "Ctrl-C. One operation reaches the library at a time; imports are all or\n"
    "nothing, as with dabtool import.\n"
    "\n"
    "  --port P          the port (default 8765; 0 picks a free one)\n"
    "  --bind ADDR       the address to listen on (default 127.0.0.1, this\n"
    "                    machine only)\n"
    "  --max-upload SIZE the largest file an import takes, in bytes or with K\n"
    "                    or M (default 16M)\n"
    "  --quiet           no line per request\n";

size_t byteSize(const ParsedArgs& parsed) {
  std::string typed = parsed.value("--max-upload", "16M");
  std::string digits = typed;
  size_t unit = 1;
  if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'k')) unit = size_t{1} << 10;
  if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) unit = size_t{1} << 20;
  if (unit != 1) digits.pop_back();
  constexpr long kMaxBytes = 1L << 30;
  std::optional<long> count = parseWholeNumber(digits, 1, kMaxBytes / static_cast<long>(unit));
  if (!count) {
    throw UsageError(
        "--max-upload wants a size from 1 byte to 1024M, such as 16M, 512K or 4096, not '" + typed +
        "'");
  }
  return static_cast<size_t>(*count) * unit;
}

}  // namespace

int runServe(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given = parseCommand(
      {"serve",
       args,
       {{"--port", true}, {"--bind", true}, {"--max-upload", true}, {"--quiet", false}},
       kHelp,
       0,
       ""});
  if (!given) return kExitOk;
  const ParsedArgs& parsed = *given;
  ServeOptions options;
  options.port = static_cast<int>(parsed.number("--port", kDefaultConsolePort, 0, 65535));
  options.bind = parsed.value("--bind", options.bind);
  options.maxUpload = byteSize(parsed);
  options.logRequests = !parsed.flag("--quiet");
  Workspace workspace(global);
  serveConsole(workspace, options, [&](const std::string& url) {
    printLine(stdout, "Serving " + workspace.shown(workspace.databasePath()) + " at " + url +
                          " (uploads up to " + sizeText(options.maxUpload) + "; Ctrl-C stops).");
    std::fflush(stdout);
  });
  std::printf("Stopped.\n");
  return kExitOk;
}

}  // namespace dabtool
