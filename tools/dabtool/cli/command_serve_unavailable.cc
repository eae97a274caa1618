// dabtool serve in a build without cpp-httplib.
#include "args.h"
#include "commands.h"
#include "errors.h"

namespace dabtool {

int runServe(const GlobalOptions&, const Args&) {
  throw Failure(
      "this dabtool was built without the web console: install libcpp-httplib-dev "
      "(scripts/deps.sh does) and build again");
}

}  // namespace dabtool
