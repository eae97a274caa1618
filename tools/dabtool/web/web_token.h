// The console's access token: a random secret made at start (or read from a
// file the person keeps), which every request must carry. A browser gets it
// from the address that serve prints and keeps it in a cookie that only this
// console's own pages send; a script sends it as a bearer token.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_TOKEN_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_TOKEN_H_

#include <string>

namespace dabtool {

// 32 random bytes from the kernel, as 64 hex digits. Throws Failure when the
// kernel has none to give.
std::string newAccessToken();

// The token in the first line of `path`. Throws Failure unless the file
// belongs to this user, no one else may read or write it (as ssh asks of a
// key file), and the token is 16 to 256 letters, digits, '-', '_', '.' or '~'.
std::string readTokenFile(const std::string& path);

// Whether `given` is `token`, in a time that does not depend on where they
// differ.
bool tokenMatches(const std::string& given, const std::string& token);

// The value of cookie `name` in a Cookie header, "" without it.
std::string cookieValue(const std::string& cookieHeader, const std::string& name);

// The token from an "Authorization: Bearer TOKEN" header, "" without one.
std::string bearerToken(const std::string& authorization);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_TOKEN_H_
