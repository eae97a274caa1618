#include "web_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace dabtool {

namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool answersTo(const std::string& name, const HostPolicy& policy) {
  if (isLoopbackAddress(name)) return true;
  if (!isWildcardAddress(policy.bind) && name == lowerCase(policy.bind)) return true;
  for (const std::string& allowed : policy.allowedHosts) {
    if (name == lowerCase(allowed)) return true;
  }
  return false;
}

std::string answeredNames(const HostPolicy& policy) {
  std::string names = "localhost or 127.0.0.1";
  if (!isWildcardAddress(policy.bind) && !isLoopbackAddress(policy.bind)) {
    names += ", " + policy.bind;
  }
  for (const std::string& allowed : policy.allowedHosts) names += ", " + allowed;
  return names;
}

}  // namespace

bool isLoopbackAddress(const std::string& address) {
  if (lowerCase(address) == "localhost") return true;
  in_addr v4;
  if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) {
    return (ntohl(v4.s_addr) >> 24) == 127;
  }
  in6_addr v6;
  return ::inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

bool isWildcardAddress(const std::string& address) {
  in_addr v4;
  if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) return v4.s_addr == INADDR_ANY;
  in6_addr v6;
  return ::inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_UNSPECIFIED(&v6);
}

std::string hostName(const std::string& hostHeader) {
  if (!hostHeader.empty() && hostHeader[0] == '[') {
    size_t close = hostHeader.find(']');
    return close == std::string::npos ? hostHeader : hostHeader.substr(1, close - 1);
  }
  return hostHeader.substr(0, hostHeader.find(':'));
}

std::string requestRefusal(const RequestOrigin& request, const HostPolicy& policy) {
  const std::string& host = request.host;
  // Browsers always send a Host header; a request without one is no browser's.
  if (!host.empty() && !answersTo(lowerCase(hostName(host)), policy)) {
    return "this console answers requests for " + answeredNames(policy) + " only, not for '" +
           host + "' (dabtool serve --allow-host NAME adds a name)";
  }
  const std::string& method = request.method;
  bool changes = method != "GET" && method != "HEAD" && method != "OPTIONS";
  if (!changes) return "";
  std::string own = policy.scheme + "://" + host;
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
