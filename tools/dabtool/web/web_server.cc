#include "web_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <new>
#include <regex>
#include <set>
#include <vector>

#include "errors.h"
#include "file_io.h"
#include "terminal_text.h"
#include "web_error.h"
#include "web_guard.h"
#include "web_routes.h"

namespace dabtool {

namespace {

using httplib::Request;
using httplib::Response;

// Enough threads that a few browser tabs, each holding several keep-alive
// connections, never leave a request waiting for a thread.
constexpr size_t kWorkerThreads = 16;
// Room for the multipart framing around a file of the upload limit.
constexpr size_t kFormOverhead = 64 * 1024;

void answerFailure(Response& res, std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const WebError& error) {
    sendError(res, error.status(), error.what());
  } catch (const Busy& error) {
    res.set_header("Retry-After", "2");
    sendError(res, 503, error.what());
  } catch (const Failure& error) {
    sendError(res, 500, error.what());
  } catch (const std::bad_alloc&) {
    sendError(res, 500, "the server ran out of memory");
  } catch (const std::exception& error) {
    sendError(res, 500, std::string("unexpected failure: ") + error.what());
  } catch (...) {
    sendError(res, 500, "unexpected failure");
  }
}

// The routes of one path, by method.
class PathRoutes {
 public:
  void add(const WebRoute& route) {
    if (route.readBody) {
      bodyHandlers_[route.method] = route.readBody;
    } else {
      handlers_[route.method] = route.handle;
    }
  }

  bool readsBody(const std::string& method) const { return bodyHandlers_.count(method) != 0; }

  // For a method whose route reads the body itself.
  void answer(const Request& req, Response& res, const httplib::ContentReader& body) const {
    try {
      bodyHandlers_.at(req.method)(req, res, body);
    } catch (...) {
      answerFailure(res, std::current_exception());
    }
  }

  void answer(const Request& req, Response& res) const {
    auto handler = handlers_.find(req.method == "HEAD" ? "GET" : req.method);
    if (handler == handlers_.end() && req.method == "OPTIONS") {
      res.status = 204;
      res.set_header("Allow", allowed());
      return;
    }
    if (handler == handlers_.end()) {
      res.set_header("Allow", allowed());
      sendError(res, 405, req.method + " is not allowed on " + req.path + "; use " + allowed());
      return;
    }
    try {
      handler->second(req, res);
    } catch (...) {
      answerFailure(res, std::current_exception());
    }
  }

 private:
  std::string allowed() const {
    std::set<std::string> methods;
    for (const auto& handler : handlers_) methods.insert(handler.first);
    for (const auto& handler : bodyHandlers_) methods.insert(handler.first);
    std::string list;
    for (const std::string& method : methods) {
      list += (list.empty() ? "" : ", ") + method;
      if (method == "GET") list += ", HEAD";
    }
    return list;
  }

  std::map<std::string, RouteHandler> handlers_;
  std::map<std::string, BodyHandler> bodyHandlers_;
};

std::string exactPattern(const std::string& path) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  return std::regex_replace(path, special, R"(\$&)");
}

std::string statusMessage(const Request& req, int status, size_t maxUpload) {
  switch (status) {
    case 400:
      return "the request could not be read";
    case 404:
      return "there is nothing at " + req.path + " (the console is at /, its API under /api/)";
    case 413:
      return uploadLimitMessage(maxUpload);
    default:
      return "the request failed with HTTP status " + std::to_string(status);
  }
}

// A request that should have a body but says neither how long it is nor
// that it comes in chunks.
bool lacksLength(const Request& req) {
  bool hasBody = req.method == "POST" || req.method == "PUT" || req.method == "PATCH";
  return hasBody && !req.has_header("Content-Length") && !req.has_header("Transfer-Encoding");
}

}  // namespace

WebServer::WebServer(ConsoleService& service, const ServeOptions& options)
    : options_(options), http_(std::make_unique<httplib::Server>()) {
  // httplib owns the queue it asks for and deletes it when listening ends.
  http_->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  http_->set_payload_max_length(options_.maxUpload + kFormOverhead);
  // httplib's default adds SO_REUSEPORT, which would let a second server
  // share the port silently instead of being told that it is taken.
  http_->set_socket_options([](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  installRoutes(service);
  installHandlers();
}

WebServer::~WebServer() = default;

void WebServer::installRoutes(ConsoleService& service) {
  std::map<std::string, std::shared_ptr<PathRoutes>> byPath;
  for (const WebRoute& route : consoleRoutes(service, options_.maxUpload)) {
    auto& routes = byPath[route.path];
    if (!routes) routes = std::make_shared<PathRoutes>();
    routes->add(route);
  }
  for (const auto& path : byPath) {
    std::shared_ptr<PathRoutes> routes = path.second;
    auto answer = [routes](const Request& req, Response& res) { routes->answer(req, res); };
    auto answerReading = [routes](const Request& req, Response& res,
                                  const httplib::ContentReader& body) {
      routes->answer(req, res, body);
    };
    std::string pattern = exactPattern(path.first);
    http_->Get(pattern, answer);
    if (routes->readsBody("POST")) {
      http_->Post(pattern, answerReading);
    } else {
      http_->Post(pattern, answer);
    }
    http_->Put(pattern, answer);
    http_->Patch(pattern, answer);
    http_->Delete(pattern, answer);
    http_->Options(pattern, answer);
  }
}

void WebServer::installHandlers() {
  bool loopbackOnly = isLoopbackAddress(options_.bind);
  http_->set_pre_routing_handler([loopbackOnly](const Request& req, Response& res) {
    std::string refusal =
        requestRefusal({req.method, req.get_header_value("Host"), req.get_header_value("Origin"),
                        req.get_header_value("Referer")},
                       loopbackOnly);
    int status = 403;
    if (refusal.empty() && lacksLength(req)) {
      // httplib would wait for the connection to close to find the body's end.
      status = 411;
      refusal = "a " + req.method + " request must give its Content-Length (0 for no body)";
    }
    if (refusal.empty()) return httplib::Server::HandlerResponse::Unhandled;
    // The body, if any, stays unread: the connection cannot carry another request.
    res.set_header("Connection", "close");
    sendError(res, status, refusal);
    return httplib::Server::HandlerResponse::Handled;
  });
  size_t maxUpload = options_.maxUpload;
  // Called for every answer of status 400 and above; only httplib's own
  // answers (unknown path, unreadable request, body past the limit) have no
  // text yet.
  http_->set_error_handler([maxUpload](const Request& req, Response& res) {
    if (res.body.empty()) sendError(res, res.status, statusMessage(req, res.status, maxUpload));
  });
  http_->set_exception_handler([](const Request&, Response& res, std::exception_ptr failure) {
    answerFailure(res, failure);
  });
  if (options_.logRequests) {
    // The path is the client's: escaped, it can neither drive the terminal
    // nor forge a line of the log.
    http_->set_logger([](const Request& req, const Response& res) {
      printLine(stdout, req.method + " " + req.path + " " + std::to_string(res.status));
      std::fflush(stdout);
    });
  }
}

int WebServer::bind() {
  errno = 0;
  int port = options_.port;
  bool bound = port == 0 ? (port = http_->bind_to_any_port(options_.bind)) > 0
                         : http_->bind_to_port(options_.bind, port);
  if (!bound) {
    std::string reason = errno != 0 ? errorText(errno) : "the address is not valid here";
    throw Failure("cannot listen on " + options_.bind + " port " + std::to_string(options_.port) +
                  ": " + reason +
                  (options_.port != 0 ? " (--port 0 picks a free port)" : std::string()));
  }
  return port;
}

void WebServer::run() { http_->listen_after_bind(); }

void WebServer::stop() { http_->stop(); }

std::string consoleUrl(const std::string& bind, int port) {
  std::string host = bind.find(':') != std::string::npos ? "[" + bind + "]" : bind;
  return "http://" + host + ":" + std::to_string(port) + "/";
}

}  // namespace dabtool
