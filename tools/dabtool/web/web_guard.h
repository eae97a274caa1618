// Which browsers' requests the web console answers. A page on any other site
// can make a browser send requests to the console: it must neither read the
// address book (by a DNS name rebound to the console's address) nor change
// it (by a form posted across sites).
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_GUARD_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_GUARD_H_

#include <string>
#include <vector>

namespace dabtool {

// True for an address only this machine can reach: 127.0.0.0/8, ::1,
// "localhost".
bool isLoopbackAddress(const std::string& address);

// True for an address that listens on every interface: 0.0.0.0, ::.
bool isWildcardAddress(const std::string& address);

// The host part of a Host header: "localhost" from "localhost:8765",
// "::1" from "[::1]:8765".
std::string hostName(const std::string& hostHeader);

// Where the console listens and which host names it answers to.
struct HostPolicy {
  std::string scheme = "http";
  std::string bind;                       // the address it listens on
  std::vector<std::string> allowedHosts;  // --allow-host, in any letter case
};

// What the guard looks at in a request.
struct RequestOrigin {
  std::string method;
  std::string host;     // the Host header
  std::string origin;   // the Origin header, "" when absent
  std::string referer;  // the Referer header, "" when absent
};

// Why the request must be refused (a sentence for a 403 answer), or "" to
// answer it. A request names a host the console answers to: a loopback
// name, the bound address itself (unless it is a wildcard) or one of the
// allowed names; any other name came through a name that points here
// without belonging here. Requests that change something and come from a
// page must come from the console's own page: by their Origin, or, where a
// browser sends none, by their Referer.
std::string requestRefusal(const RequestOrigin& request, const HostPolicy& policy);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_GUARD_H_
