#include "web_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

namespace dabtool {

namespace {

thread_local ConnectionStream* servedHere = nullptr;

// How often a wait looks at the server's stop flag.
constexpr std::chrono::milliseconds kStopCheck(100);

void addressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  int got = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                 : getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  if (got != 0) return;
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  }
  ip = text;
}

// What a failed plain or TLS transfer waits for: POLLIN, POLLOUT, or 0
// when the connection is over.
short wantOf(SSL* ssl, ssize_t result) {
  if (ssl != nullptr) {
    switch (SSL_get_error(ssl, static_cast<int>(result))) {
      case SSL_ERROR_WANT_READ:
        return POLLIN;
      case SSL_ERROR_WANT_WRITE:
        return POLLOUT;
      default:
        return 0;
    }
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return -1;
  return 0;
}

const char k431[] =
    "HTTP/1.1 431 Request Header Fields Too Large\r\n"
    "Content-Type: application/json; charset=utf-8\r\n"
    "Connection: close\r\n"
    "Content-Length: ";

}  // namespace

ConnectionStream* ConnectionStream::current() { return servedHere; }

ConnectionStream::Serving::Serving(ConnectionStream& stream) { servedHere = &stream; }

ConnectionStream::Serving::~Serving() { servedHere = nullptr; }

ConnectionStream::ConnectionStream(int fd, SSL_CTX* tls, const ConnectionLimits& limits,
                                   const std::atomic<bool>& stopping)
    : fd_(fd), tls_(tls != nullptr), limits_(limits), stopping_(stopping) {
  if (tls != nullptr) ssl_ = SSL_new(tls);
  beginRequest();
}

ConnectionStream::~ConnectionStream() {
  if (ssl_ == nullptr) return;
  // One try at a clean close: a client that does not read it loses nothing.
  if (SSL_is_init_finished(ssl_)) SSL_shutdown(ssl_);
  SSL_free(ssl_);
}

bool ConnectionStream::handshake() {
  if (!tls_) return true;
  if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1) return false;
  for (;;) {
    int result = SSL_accept(ssl_);
    if (result == 1) return true;
    short want = wantOf(ssl_, result);
    if (want == 0 || !waitFor(want, deadline_)) return false;
  }
}

bool ConnectionStream::awaitRequest() {
  if (begin_ < end_ || (ssl_ != nullptr && SSL_pending(ssl_) > 0)) return true;
  return waitFor(POLLIN, Clock::now() + limits_.keepAlive);
}

void ConnectionStream::beginRequest() {
  phase_ = Phase::kHeaders;
  deadline_ = Clock::now() + limits_.headerDeadline;
  headerBytes_ = 0;
  headerEndMatched_ = 0;
  bodyBytes_ = 0;
  bodyBudget_ = 0;
  bodyPastBudget_ = false;
}

bool ConnectionStream::waitFor(short events, Clock::time_point deadline) const {
  Clock::time_point idleEnd = Clock::now() + limits_.idleTimeout;
  for (;;) {
    if (stopping_) return false;
    Clock::time_point now = Clock::now();
    Clock::time_point end = std::min(deadline, idleEnd);
    if (now >= end) return false;
    auto slice = std::min<Clock::duration>(end - now, kStopCheck);
    int wait = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count());
    pollfd watched{fd_, events, 0};
    int ready = ::poll(&watched, 1, wait);
    if (ready > 0) return (watched.revents & (events | POLLHUP | POLLERR)) != 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool ConnectionStream::is_readable() const {
  if (begin_ < end_ || (ssl_ != nullptr && SSL_pending(ssl_) > 0)) return true;
  return waitFor(POLLIN, deadline_);
}

bool ConnectionStream::is_writable() const {
  return !refused_ && waitFor(POLLOUT, Clock::now() + limits_.idleTimeout);
}

ssize_t ConnectionStream::fill() {
  begin_ = end_ = 0;
  for (;;) {
    if (stopping_) return -1;
    ssize_t got = ssl_ != nullptr ? SSL_read(ssl_, buffer_, sizeof buffer_)
                                  : ::recv(fd_, buffer_, sizeof buffer_, 0);
    if (got > 0) {
      end_ = static_cast<size_t>(got);
      return got;
    }
    if (got == 0 && ssl_ == nullptr) return 0;
    short want = wantOf(ssl_, got);
    if (want == -1) want = POLLIN;
    if (want == 0) return got == 0 ? 0 : -1;
    if (!waitFor(want, deadline_)) return -1;
  }
}

// How many of the `available` buffered bytes still belong to the headers:
// up to and with the blank line that ends them.
size_t ConnectionStream::takeHeaderBytes(size_t available) {
  static const char kEnd[] = "\r\n\r\n";
  for (size_t i = 0; i < available; ++i) {
    char c = buffer_[begin_ + i];
    headerEndMatched_ = c == kEnd[headerEndMatched_] ? headerEndMatched_ + 1 : (c == '\r' ? 1 : 0);
    if (headerEndMatched_ == 4) {
      phase_ = Phase::kBody;
      deadline_ = Clock::now() + limits_.bodyDeadline;
      return i + 1;
    }
  }
  return available;
}

// Headers past the limit are answered here, at once: httplib would keep
// every line of them.
void ConnectionStream::refuseHeaders() {
  std::string body = "{\"error\":\"the request's headers are larger than " +
                     std::to_string(limits_.maxHeaderBytes / 1024) + " KiB.\"}";
  std::string answer = k431 + std::to_string(body.size()) + "\r\n\r\n" + body;
  closeAfterAnswer_ = true;
  for (size_t sent = 0; sent < answer.size();) {
    ssize_t n = write(answer.data() + sent, answer.size() - sent);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  refused_ = true;
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (refused_ || bodyPastBudget_) return -1;
  if (begin_ == end_) {
    ssize_t got = fill();
    if (got <= 0) return got;
  }
  size_t take = std::min(size, end_ - begin_);
  if (phase_ == Phase::kHeaders) {
    take = takeHeaderBytes(take);
    headerBytes_ += take;
    if (headerBytes_ > limits_.maxHeaderBytes) {
      refuseHeaders();
      return -1;
    }
  } else if ((bodyBytes_ += take) > bodyBudget_) {
    bodyPastBudget_ = true;
    closeAfterAnswer_ = true;
    return -1;
  }
  std::memcpy(ptr, buffer_ + begin_, take);
  begin_ += take;
  return static_cast<ssize_t>(take);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (refused_) return -1;
  Clock::time_point deadline = Clock::now() + limits_.idleTimeout;
  for (;;) {
    if (stopping_) return -1;
    int piece = static_cast<int>(std::min<size_t>(size, INT_MAX));
    ssize_t sent =
        ssl_ != nullptr ? SSL_write(ssl_, ptr, piece) : ::send(fd_, ptr, size, MSG_NOSIGNAL);
    if (sent > 0) return sent;
    short want = wantOf(ssl_, sent);
    if (want == -1) want = POLLOUT;
    if (want == 0 || !waitFor(want, deadline)) return -1;
  }
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  addressOf(fd_, true, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  addressOf(fd_, false, ip, port);
}

}  // namespace dabtool
