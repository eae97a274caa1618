// The web console's HTTP server: cpp-httplib with the console's routes, a
// JSON error for every failure, 405 for a known path asked with the wrong
// method, a size limit on uploads and the browser guard of web_guard.h.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_SERVER_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_SERVER_H_

#include <cstddef>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace dabtool {

class ConsoleService;

constexpr int kDefaultConsolePort = 8765;
constexpr size_t kDefaultMaxUpload = size_t{16} << 20;

struct ServeOptions {
  std::string bind = "127.0.0.1";
  int port = kDefaultConsolePort;  // 0: any free port
  size_t maxUpload = kDefaultMaxUpload;
  bool logRequests = true;  // one line on stdout per answered request
};

class WebServer {
 public:
  // `service` must outlive the server.
  WebServer(ConsoleService& service, const ServeOptions& options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Listens on the address and port of the options; returns the port.
  // Throws Failure when it cannot.
  int bind();
  // Answers requests until stop(). REQUIRES: bind() succeeded.
  void run();
  // Safe from any thread; run() returns soon after.
  void stop();

 private:
  void installRoutes(ConsoleService& service);
  void installHandlers();

  ServeOptions options_;
  std::unique_ptr<httplib::Server> http_;
};

// The console's address as a person types it: "http://127.0.0.1:8765/".
std::string consoleUrl(const std::string& bind, int port);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_SERVER_H_
