#include "web_server.h"

#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <regex>
#include <set>
#include <vector>

#include "console_service.h"
#include "errors.h"
#include "file_io.h"
#include "terminal_text.h"
#include "text.h"
#include "web_connection.h"
#include "web_error.h"
#include "web_guard.h"
#include "web_routes.h"
#include "web_tls.h"
#include "web_token.h"
#include "web_workers.h"

namespace dabtool {

namespace {

using httplib::Request;
using httplib::Response;

// One thread per open connection: browser tabs hold several each, and a
// slow client holds its own until its deadlines end it.
constexpr size_t kMaxConnections = 128;
// Requests one connection may carry before it is closed.
constexpr size_t kRequestsPerConnection = 100;
// How long and how much of a body left unread (one refused for its size,
// say) is read and dropped before the connection closes.
constexpr std::chrono::milliseconds kLinger{1000};
constexpr size_t kLingerBytes = size_t{16} << 20;
// Room for the multipart framing around a file of the upload limit.
constexpr size_t kFormOverhead = 64 * 1024;
// The most a request to a route that reads no file may send.
constexpr size_t kSmallBody = 64 * 1024;

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

size_t declaredLength(const Request& req) {
  std::string typed = req.get_header_value("Content-Length");
  return typed.empty() ? 0 : std::strtoull(typed.c_str(), nullptr, 10);
}

bool carriesToken(const Request& req, const std::string& token, const std::string& cookie) {
  std::string query = req.has_param("token") ? req.get_param_value("token") : "";
  return tokenMatches(query, token) ||
         tokenMatches(bearerToken(req.get_header_value("Authorization")), token) ||
         tokenMatches(cookieValue(req.get_header_value("Cookie"), cookie), token);
}

}  // namespace

struct WebServer::Refusal {
  int status = 0;  // 0: none
  std::string sentence;
};

// httplib's server with the console's own reading of each connection: every
// byte goes through a ConnectionStream, over TLS when a context is given.
class ConsoleHttp : public httplib::Server {
 public:
  ConsoleHttp(SSL_CTX* tls, const std::atomic<bool>& stopping) : tls_(tls), stopping_(stopping) {}

  // httplib's stop() does nothing before listening has begun, and a stop
  // can come as soon as the address is printed: closed here, the socket
  // ends the listening whether it has begun or not.
  void closeListener() {
    socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock == INVALID_SOCKET) return;
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
  }

 private:
  bool process_and_close_socket(socket_t sock) override {
    bool served = serve(sock);
    lingerAndClose(sock);
    return served;
  }

  // A socket closed while its peer still sends resets the connection, and
  // the peer may lose the answer already sent to it: a 413 for a body past
  // the limit becomes a connection error in the browser. So the answer's
  // end is marked and what still comes is read and dropped first, within
  // bounds, unless the server stops.
  void lingerAndClose(socket_t sock) const {
    ::shutdown(sock, SHUT_WR);
    auto end = std::chrono::steady_clock::now() + kLinger;
    char sink[16 * 1024];
    for (size_t dropped = 0; dropped < kLingerBytes && !stopping_;) {
      ssize_t got = ::recv(sock, sink, sizeof sink, MSG_DONTWAIT);
      if (got > 0) {
        dropped += static_cast<size_t>(got);
        continue;
      }
      if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) break;
      auto left =
          std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd readable{sock, POLLIN, 0};
      ::poll(&readable, 1, static_cast<int>(std::min<long>(left.count(), 100)));
    }
    ::close(sock);
  }

  bool serve(int sock) {
    int flags = ::fcntl(sock, F_GETFL);
    if (flags < 0 || ::fcntl(sock, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    ConnectionStream stream(sock, tls_, ConnectionLimits(), stopping_);
    if (!stream.handshake()) return false;
    ConnectionStream::Serving serving(stream);
    bool served = true;
    for (size_t count = 1; count <= kRequestsPerConnection; ++count) {
      if (stopping_ || svr_sock_ == INVALID_SOCKET || !stream.awaitRequest()) break;
      stream.beginRequest();
      bool closed = false;
      served = process_request(stream, count == kRequestsPerConnection, closed, nullptr);
      if (!served || closed || stream.closingAfterAnswer()) break;
    }
    return served;
  }

  SSL_CTX* tls_;
  const std::atomic<bool>& stopping_;
};

WebServer::WebServer(ConsoleService& service, const ServeOptions& options)
    : options_(options), service_(service) {
  if (!options_.certFile.empty()) {
    tls_ = std::make_unique<TlsContext>(options_.certFile, options_.keyFile);
  }
  http_ = std::make_unique<ConsoleHttp>(tls_ ? tls_->get() : nullptr, stopping_);
  // httplib owns the queue it asks for and deletes it when listening ends.
  http_->new_task_queue = [] { return new Workers(kMaxConnections); };
  http_->set_payload_max_length(options_.maxUpload + kFormOverhead);
  // Only for the Keep-Alive header it sends: the connections are ours to keep.
  http_->set_keep_alive_max_count(kRequestsPerConnection);
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
      bodyPaths_.insert(path.first);
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

WebServer::Refusal WebServer::refusalOf(const Request& req) const {
  std::string scheme = tls_ ? "https" : "http";
  std::string refusal =
      requestRefusal({req.method, req.get_header_value("Host"), req.get_header_value("Origin"),
                      req.get_header_value("Referer")},
                     {scheme, options_.bind, options_.allowHosts});
  if (!refusal.empty()) return {403, refusal};
  if (!options_.token.empty() && !carriesToken(req, options_.token, cookieName_)) {
    return {401,
            "this console asks for the access token that dabtool serve printed with its "
            "address: open that address, with its ?token=..., once in this browser"};
  }
  // httplib would wait for the connection to close to find the body's end.
  if (lacksLength(req)) {
    return {411, "a " + req.method + " request must give its Content-Length (0 for no body)"};
  }
  return bodyRefusal(req);
}

// Sets how much body the request may send as it comes over the wire: a file
// of the upload limit with its framing to a route that reads one, a small
// amount to any other. What a file's encoding expands to is counted by the
// route itself, as it arrives.
WebServer::Refusal WebServer::bodyRefusal(const Request& req) const {
  std::string encoding = req.get_header_value("Content-Encoding");
  bool encoded = !encoding.empty() && encoding != "identity";
  size_t budget = kSmallBody;
  if (req.method == "POST" && bodyPaths_.count(req.path) != 0) {
    // A form's parts are kept until their ends are found: expanded, they
    // could grow past any limit.
    if (encoded && req.is_multipart_form_data()) {
      return {415, "a form cannot be sent compressed; send the file alone, compressed or not"};
    }
    budget = options_.maxUpload + options_.maxUpload / 64 + kFormOverhead;
  } else if (encoded || req.has_header("Transfer-Encoding") || declaredLength(req) > kSmallBody) {
    return {413, req.method + " " + req.path + " takes no file; its body may hold at most " +
                     sizeText(kSmallBody)};
  }
  if (ConnectionStream* connection = ConnectionStream::current()) {
    connection->setBodyBudget(budget);
  }
  return {};
}

// The token in the address is taken once: the browser keeps it in a
// cookie that it sends to this console's own pages only, and the page is
// asked for again without it, so that it stays out of the address bar.
bool WebServer::admit(const Request& req, Response& res) const {
  if (options_.token.empty() || !req.has_param("token")) return false;
  res.set_header("Set-Cookie", cookieName_ + "=" + options_.token +
                                   "; Path=/; HttpOnly; SameSite=Strict" +
                                   (tls_ ? "; Secure" : ""));
  bool page = req.path == "/" || req.path == "/index.html";
  if (!page || (req.method != "GET" && req.method != "HEAD")) return false;
  res.status = 303;
  res.set_header("Location", "/");
  return true;
}

void WebServer::installHandlers() {
  http_->set_pre_routing_handler([this](const Request& req, Response& res) {
    Refusal refusal = refusalOf(req);
    if (refusal.status == 0) {
      return admit(req, res) ? httplib::Server::HandlerResponse::Handled
                             : httplib::Server::HandlerResponse::Unhandled;
    }
    // The body, if any, stays unread: the connection cannot carry another request.
    res.set_header("Connection", "close");
    sendError(res, refusal.status, refusal.sentence);
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
  bool logRequests = options_.logRequests;
  // Called once an answer went out.
  http_->set_logger([logRequests](const Request& req, const Response& res) {
    ConnectionStream* connection = ConnectionStream::current();
    if (connection != nullptr && res.get_header_value("Connection") == "close") {
      connection->closeAfterAnswer();
    }
    if (!logRequests) return;
    // httplib answered 400 too, but only the 431 went out.
    int status = connection != nullptr && connection->refusedHeaders() ? 431 : res.status;
    // The path is the client's: escaped, it can neither drive the terminal
    // nor forge a line of the log.
    printLine(stdout, req.method + " " + req.path + " " + std::to_string(status));
    std::fflush(stdout);
  });
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
  // Cookies do not tell ports apart: each console on this host has its own.
  cookieName_ = "dabtool-token-" + std::to_string(port);
  return port;
}

void WebServer::run() { http_->listen_after_bind(); }

void WebServer::stop() {
  stopping_ = true;
  service_.stop();
  http_->closeListener();
}

std::string consoleUrl(const ServeOptions& options, int port) {
  const std::string& bind = options.bind;
  std::string host = bind.find(':') != std::string::npos ? "[" + bind + "]" : bind;
  std::string url =
      (options.certFile.empty() ? "http://" : "https://") + host + ":" + std::to_string(port) + "/";
  return options.token.empty() ? url : url + "?token=" + options.token;
}

}  // namespace dabtool
