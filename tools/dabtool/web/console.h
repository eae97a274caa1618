// The web console as a whole, for the serve command to start: a service on
// the workspace, its HTTP server, and a clean stop on Ctrl-C or SIGTERM.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_CONSOLE_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_CONSOLE_H_

#include <functional>
#include <string>

#include "web_server.h"
#include "workspace.h"

namespace dabtool {

// Serves the console until SIGINT or SIGTERM. `onListening` is called once
// with the console's address, when it listens. Throws Failure when it
// cannot listen.
void serveConsole(const Workspace& workspace, const ServeOptions& options,
                  const std::function<void(const std::string& url)>& onListening);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_CONSOLE_H_
