// Which browsers' requests the web console answers. A page on any other site
// can make a browser send requests to a local address: it must neither read
// the address book (by a DNS name rebound to the loopback address) nor
// change it (by a form posted across sites).
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_GUARD_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_GUARD_H_

#include <string>

namespace dabtool {

// True for an address only this machine can reach: 127.0.0.0/8, ::1,
// "localhost".
bool isLoopbackAddress(const std::string& address);

// The host part of a Host header: "localhost" from "localhost:8765",
// "::1" from "[::1]:8765".
std::string hostName(const std::string& hostHeader);

// What the guard looks at in a request.
struct RequestOrigin {
  std::string method;
  std::string host;     // the Host header
  std::string origin;   // the Origin header, "" when absent
  std::string referer;  // the Referer header, "" when absent
};

// Why the request must be refused (a sentence for a 403 answer), or "" to
// answer it. `loopbackOnly`: the server listens on a loopback address, so
// a request naming another host came through a name that points here
// without belonging here. Requests that change something and come from a
// page must come from the console's own page: by their Origin, or, where a
// browser sends none, by their Referer.
std::string requestRefusal(const RequestOrigin& request, bool loopbackOnly);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_GUARD_H_
