// dabtool serve: the address book in a browser. An HTTP server in this
// process calls the library's entry points, one at a time, for a page that
// lists, exports, imports and downloads templates.
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "cli.h"
#include "commands.h"
#include "console_service.h"
#include "web_routes.h"
#include "web_server.h"

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

// How long a request waits while other operations have the library.
constexpr std::chrono::seconds kPatience(30);

size_t byteSize(const ParsedArgs& parsed) {
  std::string text = parsed.value("--max-upload", "16M");
  size_t unit = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = size_t{1} << 10;
  if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = size_t{1} << 20;
  if (unit != 1) text.pop_back();
  ParsedArgs number;
  number.values["--max-upload"] = text;
  constexpr long kMaxBytes = 1L << 30;
  try {
    return static_cast<size_t>(
               number.number("--max-upload", 0, 1, kMaxBytes / static_cast<long>(unit))) *
           unit;
  } catch (const UsageError&) {
    throw UsageError(
        "--max-upload wants a size from 1 byte to 1024M, such as 16M, 512K or 4096, not '" +
        parsed.value("--max-upload", "") + "'");
  }
}

// Turns Ctrl-C and SIGTERM into a clean stop: the signals are blocked in
// every thread and one thread waits for them.
class StopOnSignal {
 public:
  explicit StopOnSignal(WebServer& server) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    waiter_ = std::thread([this, &server] {
      int received = 0;
      sigwait(&signals_, &received);
      server.stop();
    });
  }
  ~StopOnSignal() {
    // Wakes the waiter when the server ended by itself.
    pthread_kill(waiter_.native_handle(), SIGTERM);
    waiter_.join();
  }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  sigset_t signals_;
  std::thread waiter_;
};

}  // namespace

int runServe(const GlobalOptions& global, const Args& args) {
  ParsedArgs parsed =
      parseArgs("serve", args,
                {{"--port", true}, {"--bind", true}, {"--max-upload", true}, {"--quiet", false}});
  if (parsed.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  expectPositional("serve", parsed, 0, "");
  ServeOptions options;
  options.port = static_cast<int>(parsed.number("--port", kDefaultConsolePort, 0, 65535));
  options.bind = parsed.value("--bind", options.bind);
  options.maxUpload = byteSize(parsed);
  options.logRequests = !parsed.flag("--quiet");
  // A browser that goes away mid-answer must not end the server.
  signal(SIGPIPE, SIG_IGN);

  Workspace workspace(global);
  ConsoleService service(workspace, kPatience);
  WebServer server(service, options);
  int port = server.bind();
  std::printf("Serving %s at %s (uploads up to %s; Ctrl-C stops).\n",
              workspace.shown(workspace.databasePath()).c_str(),
              consoleUrl(options.bind, port).c_str(), sizeText(options.maxUpload).c_str());
  std::fflush(stdout);
  {
    StopOnSignal stopOnSignal(server);
    server.run();
  }
  std::printf("Stopped.\n");
  return kExitOk;
}

}  // namespace dabtool
