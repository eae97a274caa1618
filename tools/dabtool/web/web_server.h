// The web console's HTTP server: cpp-httplib with the console's routes, a
// JSON error for every failure, 405 for a known path asked with the wrong
// method, the access token of web_token.h, the browser guard of web_guard.h,
// and connections read under the limits of web_connection.h, over HTTPS when
// given a certificate.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_SERVER_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_SERVER_H_

#include <atomic>
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace dabtool {

class ConsoleService;
class ConsoleHttp;
class TlsContext;

constexpr int kDefaultConsolePort = 8765;
constexpr size_t kDefaultMaxUpload = size_t{16} << 20;

struct ServeOptions {
  std::string bind = "127.0.0.1";
  int port = kDefaultConsolePort;  // 0: any free port
  size_t maxUpload = kDefaultMaxUpload;
  bool logRequests = true;              // one line on stdout per answered request
  std::string token;                    // what every request must carry; "" asks for none
  std::vector<std::string> allowHosts;  // host names answered besides loopback ones
  std::string certFile;                 // with keyFile: HTTPS
  std::string keyFile;
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
  // Safe from any thread; run() returns within a fraction of a second,
  // whatever the clients do, once the operation under way is done.
  void stop();

 private:
  void installRoutes(ConsoleService& service);
  void installHandlers();
  struct Refusal;  // an answer of 4xx status with its sentence
  Refusal refusalOf(const httplib::Request& req) const;
  Refusal bodyRefusal(const httplib::Request& req) const;
  // True when the request was answered here.
  bool admit(const httplib::Request& req, httplib::Response& res) const;

  ServeOptions options_;
  ConsoleService& service_;
  std::unique_ptr<TlsContext> tls_;
  std::atomic<bool> stopping_{false};
  std::unique_ptr<ConsoleHttp> http_;
  std::set<std::string> bodyPaths_;  // routes that read their body as it arrives
  std::string cookieName_;           // set by bind(), with the port
};

// The console's address as a person types it, with the token when one is
// asked: "http://127.0.0.1:8765/?token=...".
std::string consoleUrl(const ServeOptions& options, int port);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_SERVER_H_
