// One client connection of the console, as httplib reads and writes it. The
// console reads every byte itself, so that no client can hold more of the
// server than the limits below allow: the request line and headers stop at a
// fixed size (431), the body at a budget the route sets, each phase has a
// deadline, and every wait ends within a tenth of a second once the server
// stops. With a TLS context the same holds for HTTPS.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_CONNECTION_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_CONNECTION_H_

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstddef>

namespace dabtool {

struct ConnectionLimits {
  size_t maxHeaderBytes = 64 * 1024;  // request line and headers together
  std::chrono::milliseconds headerDeadline{10000};
  std::chrono::milliseconds bodyDeadline{120000};
  std::chrono::milliseconds idleTimeout{10000};  // nothing moves either way
  std::chrono::milliseconds keepAlive{5000};     // between two requests
};

class ConnectionStream : public httplib::Stream {
 public:
  // `fd` stays the caller's to close. `tls` null: plain HTTP. `stopping`
  // must outlive the stream.
  ConnectionStream(int fd, SSL_CTX* tls, const ConnectionLimits& limits,
                   const std::atomic<bool>& stopping);
  ~ConnectionStream() override;
  ConnectionStream(const ConnectionStream&) = delete;
  ConnectionStream& operator=(const ConnectionStream&) = delete;

  // The TLS handshake, within the header deadline; true at once for HTTP.
  bool handshake();
  // Waits up to the keep-alive time for the next request's first byte.
  bool awaitRequest();
  // Starts the limits of a new request.
  void beginRequest();
  // The most body bytes, as they come over the wire, this request may send.
  void setBodyBudget(size_t bytes) { bodyBudget_ = bytes; }
  bool bodyPastBudget() const { return bodyPastBudget_; }
  // The connection ends after the current answer.
  void closeAfterAnswer() { closeAfterAnswer_ = true; }
  bool closingAfterAnswer() const { return closeAfterAnswer_; }
  // The headers were too large and answered here with 431.
  bool refusedHeaders() const { return refused_; }

  // The connection the calling thread is answering, null outside one.
  static ConnectionStream* current();
  // Makes this the calling thread's connection for the object's lifetime.
  class Serving {
   public:
    explicit Serving(ConnectionStream& stream);
    ~Serving();
    Serving(const Serving&) = delete;
    Serving& operator=(const Serving&) = delete;
  };

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Phase { kHeaders, kBody };

  ssize_t fill();
  bool waitFor(short events, Clock::time_point deadline) const;
  size_t takeHeaderBytes(size_t available);
  void refuseHeaders();

  int fd_;
  bool tls_;
  SSL* ssl_ = nullptr;
  ConnectionLimits limits_;
  const std::atomic<bool>& stopping_;
  char buffer_[16 * 1024];
  size_t begin_ = 0;  // unread bytes are buffer_[begin_, end_)
  size_t end_ = 0;
  Phase phase_ = Phase::kHeaders;
  Clock::time_point deadline_;
  size_t headerBytes_ = 0;
  int headerEndMatched_ = 0;  // bytes of "\r\n\r\n" seen in a row
  size_t bodyBytes_ = 0;
  size_t bodyBudget_ = 0;
  bool bodyPastBudget_ = false;
  bool refused_ = false;  // answered here already; nothing more goes out
  bool closeAfterAnswer_ = false;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_CONNECTION_H_
