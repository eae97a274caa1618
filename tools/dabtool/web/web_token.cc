#include "web_token.h"

#include <openssl/crypto.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "errors.h"
#include "file_io.h"

namespace dabtool {

namespace {

constexpr size_t kRandomBytes = 32;
constexpr size_t kMinTokenLength = 16;
constexpr size_t kMaxTokenLength = 256;

bool tokenCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string newAccessToken() {
  unsigned char bytes[kRandomBytes];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Failure("cannot make an access token: " + errorText(errno));
    got += static_cast<size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : bytes) {
    token += kHex[byte >> 4];
    token += kHex[byte & 0x0f];
  }
  return token;
}

std::string readTokenFile(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    throw Failure("cannot read the token file " + path + ": " + errorText(errno));
  }
  if (!S_ISREG(info.st_mode)) throw Failure("the token file " + path + " is not a file");
  if (info.st_uid != ::geteuid()) {
    throw Failure("the token file " + path + " belongs to another user (uid " +
                  std::to_string(info.st_uid) + "); it must be yours");
  }
  if ((info.st_mode & 077) != 0) {
    throw Failure("the token file " + path +
                  " may be read or changed by other users; make it yours alone (chmod 600 " + path +
                  ")");
  }
  std::ifstream file(path);
  std::string token;
  std::getline(file, token);
  token = trimmed(token);
  bool valid = token.size() >= kMinTokenLength && token.size() <= kMaxTokenLength;
  for (char c : token) valid = valid && tokenCharacter(c);
  if (!valid) {
    throw Failure("the token file " + path + " must hold a token of " +
                  std::to_string(kMinTokenLength) + " to " + std::to_string(kMaxTokenLength) +
                  " letters, digits, '-', '_', '.' or '~' on its first line");
  }
  return token;
}

bool tokenMatches(const std::string& given, const std::string& token) {
  // The length is no secret: every token that serve makes has the same.
  return !token.empty() && given.size() == token.size() &&
         CRYPTO_memcmp(given.data(), token.data(), token.size()) == 0;
}

std::string cookieValue(const std::string& cookieHeader, const std::string& name) {
  size_t start = 0;
  while (start < cookieHeader.size()) {
    size_t end = cookieHeader.find(';', start);
    if (end == std::string::npos) end = cookieHeader.size();
    std::string pair = trimmed(cookieHeader.substr(start, end - start));
    if (pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 &&
        pair[name.size()] == '=') {
      return pair.substr(name.size() + 1);
    }
    start = end + 1;
  }
  return "";
}

std::string bearerToken(const std::string& authorization) {
  static const std::string kScheme = "Bearer ";
  if (authorization.compare(0, kScheme.size(), kScheme) != 0) return "";
  return trimmed(authorization.substr(kScheme.size()));
}

}  // namespace dabtool
