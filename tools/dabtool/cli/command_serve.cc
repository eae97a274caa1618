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
#include "web_guard.h"
#include "web_token.h"

namespace dabtool {

namespace {

const char kHelp[] =
    "usage: dabtool serve [--port P] [--bind ADDR] [--allow-host NAME]...\n"
    "                     [--cert FILE --key FILE] [--token-file FILE | --no-token]\n"
    "                     [--max-upload SIZE] [--quiet]\n"
    "\n"
    "Serves the address book console, a page to browse and search the book,\n"
    "export it, download templates and import files, at the address it prints\n"
    "until Ctrl-C. Every request must carry the access token in that address\n"
    "(a browser keeps it in a cookie; a script sends 'Authorization: Bearer\n"
    "TOKEN'). One operation reaches the library at a time; imports are all or\n"
    "nothing, as with dabtool import.\n"
    "\n"
    "  --port P          the port (default 8765; 0 picks a free one)\n"
    "  --bind ADDR       the address to listen on (default 127.0.0.1, this\n"
    "                    machine only)\n"
    "  --allow-host NAME a host name the console answers to besides localhost\n"
    "                    and the bound address; once per name\n"
    "  --cert FILE       serve HTTPS with this PEM certificate (chain) ...\n"
    "  --key FILE        ... and its PEM private key\n"
    "  --token-file FILE the token in FILE (yours alone, mode 600) instead of a\n"
    "                    new random one\n"
    "  --no-token        ask for no token; on a loopback address only\n"
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

// Who may reach the console, from the options; UsageError for a
// combination that would leave it open.
void setAccess(const ParsedArgs& parsed, ServeOptions& options) {
  options.allowHosts = parsed.every.count("--allow-host") ? parsed.every.at("--allow-host")
                                                          : std::vector<std::string>();
  options.certFile = parsed.value("--cert", "");
  options.keyFile = parsed.value("--key", "");
  if (options.certFile.empty() != options.keyFile.empty()) {
    throw UsageError("--cert and --key go together: HTTPS needs the certificate and its key");
  }
  if (parsed.flag("--no-token") && parsed.has("--token-file")) {
    throw UsageError("--no-token and --token-file exclude each other");
  }
  if (parsed.flag("--no-token") && !isLoopbackAddress(options.bind)) {
    throw UsageError(
        "--no-token is for a console bound to this machine only (127.0.0.1 or ::1); "
        "bound to " +
        options.bind + ", every request needs the token");
  }
  if (parsed.flag("--no-token")) return;
  options.token = parsed.has("--token-file") ? readTokenFile(parsed.value("--token-file", ""))
                                             : newAccessToken();
}

void warnBeyondLoopback(const ServeOptions& options) {
  if (isLoopbackAddress(options.bind) || !options.certFile.empty()) return;
  printLine(stderr, "dabtool: warning: bound to " + options.bind +
                        ", the console is reachable from the network over plain HTTP: the token "
                        "and the address book travel in clear text; give --cert and --key to "
                        "serve HTTPS.");
}

}  // namespace

int runServe(const GlobalOptions& global, const Args& args) {
  std::optional<ParsedArgs> given = parseCommand({"serve",
                                                  args,
                                                  {{"--port", true},
                                                   {"--bind", true},
                                                   {"--allow-host", true},
                                                   {"--cert", true},
                                                   {"--key", true},
                                                   {"--token-file", true},
                                                   {"--no-token", false},
                                                   {"--max-upload", true},
                                                   {"--quiet", false}},
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
  setAccess(parsed, options);
  Workspace workspace(global);
  warnBeyondLoopback(options);
  serveConsole(workspace, options, [&](const std::string& url) {
    printLine(stdout, "Serving " + workspace.shown(workspace.databasePath()) + " at " + url +
                          " (uploads up to " + sizeText(options.maxUpload) + "; Ctrl-C stops).");
    std::fflush(stdout);
  });
  std::printf("Stopped.\n");
  return kExitOk;
}

}  // namespace dabtool
