#include "web_tls.h"

#include <openssl/err.h>

#include "errors.h"

namespace dabtool {

namespace {

// The one place where OpenSSL's error queue becomes a sentence.
[[noreturn]] void tlsFailure(const std::string& what) {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  char reason[256] = "unknown reason";
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  throw Failure(what + " (" + reason + ")");
}

}  // namespace

TlsContext::TlsContext(const std::string& certFile, const std::string& keyFile)
    : context_(SSL_CTX_new(TLS_server_method())) {
  SSL_CTX* context = context_.get();
  if (context == nullptr) tlsFailure("cannot set up TLS");
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  // httplib may hand a write the rest of a buffer after a partial one.
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) != 1) {
    tlsFailure("cannot use " + certFile + " as the certificate (--cert wants a PEM file)");
  }
  if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    tlsFailure("cannot use " + keyFile + " as the private key (--key wants a PEM file)");
  }
  if (SSL_CTX_check_private_key(context) != 1) {
    tlsFailure("the key in " + keyFile + " does not belong to the certificate in " + certFile);
  }
}

}  // namespace dabtool
