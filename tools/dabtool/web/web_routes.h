// The web console's routes: the page's files and the JSON API, each a
// function of one request. The server (web_server.h) sends a route's
// exceptions as error answers: WebError with its own status, Busy as 503,
// any other exception as 500, always with a sentence in {"error": ...}.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_ROUTES_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_ROUTES_H_

#include <httplib.h>

#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "console_service.h"

namespace dabtool {

using RouteHandler = std::function<void(const httplib::Request&, httplib::Response&)>;
// A route that reads the request's body itself, as it arrives.
using BodyHandler =
    std::function<void(const httplib::Request&, httplib::Response&, const httplib::ContentReader&)>;

struct WebRoute {
  std::string method;  // "GET" also answers HEAD
  std::string path;    // exact
  RouteHandler handle;
  BodyHandler readBody;  // instead of `handle`, for a route that streams its body
};

// Every route of the console. `maxUpload`: the largest file an import takes.
std::vector<WebRoute> consoleRoutes(ConsoleService& service, size_t maxUpload);

// POST /api/import (web_import.cc).
BodyHandler importRoute(ConsoleService& service, size_t maxUpload);
// GET /api/import/progress: how far the running import has come.
RouteHandler importProgressRoute(const ConsoleService& service);
// GET /api/import/report: every record of the last import, as CSV.
RouteHandler importReportRoute(ConsoleService& service);

// POST /api/restore, /api/delete and /api/undo, GET /api/changes
// (web_changes.cc).
std::vector<WebRoute> changeRoutes(ConsoleService& service);

// Answers `json` with `status`. Text that is not UTF-8 (the address book
// holds whatever bytes were imported) goes out with U+FFFD in place of each
// bad sequence, so the browser can always read the answer.
void sendJson(httplib::Response& res, int status, const nlohmann::json& json);

// Answers {"error": message} with `status`; the message gets a full stop
// when it has none. Messages read like dabtool's, after "dabtool: ".
void sendError(httplib::Response& res, int status, const std::string& message);

// The answer to an upload larger than `maxUpload`.
std::string uploadLimitMessage(size_t maxUpload);

// The request's "delimiter" parameter as the library's name: "Comma" (also
// when absent) or "Semicolon", in any letter case. WebError 400 otherwise.
std::string delimiterParam(const httplib::Request& req);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_ROUTES_H_
