#include "web_guard.h"

#include <arpa/inet.h>

namespace dabtool {

bool isLoopbackAddress(const std::string& address) {
  if (address == "localhost") return true;
  in_addr v4;
  if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) {
    return (ntohl(v4.s_addr) >> 24) == 127;
  }
  in6_addr v6;
  return ::inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string hostName(const std::string& hostHeader) {
  if (!hostHeader.empty() && hostHeader[0] == '[') {
    size_t close = hostHeader.find(']');
    return close == std::string::npos ? hostHeader : hostHeader.substr(1, close - 1);
  }
  return hostHeader.substr(0, hostHeader.find(':'));
}

std::string requestRefusal(const RequestOrigin& request, bool loopbackOnly) {
  const std::string& host = request.host;
  // Browsers always send a Host header; a request without one is no browser's.
  if (loopbackOnly && !host.empty() && !isLoopbackAddress(hostName(host))) {
    return "this console answers requests for localhost or 127.0.0.1 only, not for '" + host + "'";
  }
  const std::string& method = request.method;
  bool changes = method != "GET" && method != "HEAD" && method != "OPTIONS";
  if (!changes) return "";
  std::string own = "http://" + host;
  if (!request.origin.empty() && request.origin != own) {
    return "a page of another site (" + request.origin + ") may not change the address book";
  }
  const std::string& referer = request.referer;
  bool ownPage = referer.compare(0, own.size(), own) == 0 &&
                 (referer.size() == own.size() || referer[own.size()] == '/');
  if (request.origin.empty() && !referer.empty() && !ownPage) {
    return "a page of another site (" + referer + ") may not change the address book";
  }
  return "";
}

}  // namespace dabtool
