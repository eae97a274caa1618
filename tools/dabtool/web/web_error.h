// An answer other than success that the web console chose on purpose: the
// HTTP status and one sentence for the person at the page.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_ERROR_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_ERROR_H_

#include <stdexcept>
#include <string>

namespace dabtool {

class WebError : public std::runtime_error {
 public:
  WebError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_ERROR_H_
