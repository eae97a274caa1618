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

std::string requestRefusal(const std::string& method, const std::string& hostHeader,
                           const std::string& origin, bool loopbackOnly) {
  // Browsers always send a Host header; a request without one is no browser's.
  if (loopbackOnly && !hostHeader.empty() && !isLoopbackAddress(hostName(hostHeader))) {
    return "this console answers requests for localhost or 127.0.0.1 only, not for '" + hostHeader +
           "'";
  }
  bool changes = method != "GET" && method != "HEAD" && method != "OPTIONS";
  if (changes && !origin.empty() && origin != "http://" + hostHeader) {
    return "a page of another site (" + origin + ") may not change the address book";
  }
  return "";
}

}  // namespace dabtool
