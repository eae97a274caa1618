#include "console.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "console_service.h"

namespace dabtool {

namespace {

// How long a request waits while other operations have the library.
constexpr std::chrono::seconds kPatience(30);

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

void serveConsole(const Workspace& workspace, const ServeOptions& options,
                  const std::function<void(const std::string& url)>& onListening) {
  // A browser that goes away mid-answer must not end the server.
  signal(SIGPIPE, SIG_IGN);
  ConsoleService service(workspace, kPatience);
  WebServer server(service, options);
  int port = server.bind();
  // Whoever reads the address may stop the server at once.
  StopOnSignal stopOnSignal(server);
  onListening(consoleUrl(options, port));
  server.run();
}

}  // namespace dabtool
