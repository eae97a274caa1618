// The console's TLS side: a server context made from a certificate chain and
// its private key, both PEM files, for HTTPS with TLS 1.2 or newer.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_TLS_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_TLS_H_

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace dabtool {

class TlsContext {
 public:
  // Throws Failure with a sentence naming the file that could not be used,
  // or saying that the key does not belong to the certificate.
  TlsContext(const std::string& certFile, const std::string& keyFile);

  SSL_CTX* get() const { return context_.get(); }

 private:
  struct Free {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
  };
  std::unique_ptr<SSL_CTX, Free> context_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_TLS_H_
