#include "web_routes.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "entry_text.h"
#include "library_facts.h"
#include "sample_file.h"
#include "text.h"
#include "web_assets.h"
#include "web_error.h"

namespace dabtool {

namespace {

using httplib::Request;
using httplib::Response;
using nlohmann::json;

constexpr size_t kMaxPageSize = 500;
constexpr int kMaxAuditRecords = 1000;

std::string param(const Request& req, const char* name, const std::string& fallback) {
  return req.has_param(name) ? req.get_param_value(name) : fallback;
}

long numberParam(const Request& req, const char* name, long fallback, long min, long max) {
  if (!req.has_param(name)) return fallback;
  std::string typed = req.get_param_value(name);
  std::optional<long> number = parseWholeNumber(typed, min, max);
  if (!number) {
    throw WebError(400, wholeNumberProblem(name, min, max, typed));
  }
  return *number;
}

// A format parameter: false for "dab" (the default), true for "legacy".
bool legacyParam(const Request& req) {
  std::string format = param(req, "format", "dab");
  if (format != "dab" && format != "legacy") {
    throw WebError(400, "unknown format '" + format + "': use dab or legacy");
  }
  return format == "legacy";
}

void sendDownload(Response& res, const Download& download) {
  res.status = 200;
  res.set_header("Content-Disposition", "attachment; filename=\"" + download.fileName + "\"");
  res.set_header("Cache-Control", "no-store");
  res.set_content(download.bytes, "text/csv; charset=utf-8");
}

json entryJson(const BookEntry& e, const BookSnapshot& book) {
  json memberOf = json::array();
  for (int group : e.groups) {
    auto name = book.groupNames.find(group);
    memberOf.push_back(
        {{"id", group}, {"name", name == book.groupNames.end() ? std::string() : name->second}});
  }
  json members = nullptr;
  if (e.dlType != 0) {
    auto count = book.memberCounts.find(e.id);
    members = count == book.memberCounts.end() ? 0 : count->second;
  }
  return {{"id", e.id},
          {"kind", kindName(e.dlType)},
          {"displayName", e.displayName},
          {"firstName", e.firstName},
          {"lastName", e.lastName},
          {"company", e.company},
          {"email", e.email},
          {"internetFax", e.internetFax},
          {"fax", e.faxNumber},
          {"scan", protocolName(e.scanProtocol)},
          {"favourite", favoriteMarks(e)},
          {"memberOf", std::move(memberOf)},
          {"members", std::move(members)}};
}

PageRequest pageRequest(const Request& req) {
  PageRequest request;
  request.offset = static_cast<size_t>(numberParam(req, "offset", 0, 0, 10000000));
  request.limit = static_cast<size_t>(numberParam(req, "limit", 50, 1, kMaxPageSize));
  request.query = param(req, "q", "");
  return request;
}

json entriesJson(const BookPage& page, const BookSnapshot& book) {
  json entries = json::array();
  for (const BookEntry* entry : page.entries) entries.push_back(entryJson(*entry, book));
  return entries;
}

void handleContacts(ConsoleService& service, const Request& req, Response& res) {
  PageRequest request = pageRequest(req);
  std::shared_ptr<const BookSnapshot> book = service.book();
  BookPage page = pageOf(*book, request);
  const Workspace& workspace = service.workspace();
  sendJson(res, 200,
           {{"database", workspace.shown(workspace.databasePath())},
            {"exists", book->exists},
            {"total", book->entries.size()},
            {"contacts", static_cast<int>(book->entries.size()) - book->groups},
            {"groups", book->groups},
            {"matched", page.matched},
            {"offset", request.offset},
            {"limit", request.limit},
            {"entries", entriesJson(page, *book)}});
}

// One group and a page of its members, paged and searched like the book.
void handleGroup(ConsoleService& service, const Request& req, Response& res) {
  if (!req.has_param("id")) throw WebError(400, "group wants the id of a group: ?id=N");
  int id = static_cast<int>(numberParam(req, "id", 0, 1, 2147483647L));
  PageRequest request = pageRequest(req);
  std::shared_ptr<const BookSnapshot> book = service.book();
  auto name = book->groupNames.find(id);
  if (name == book->groupNames.end()) {
    throw WebError(404, "the address book has no group with id " + std::to_string(id));
  }
  auto count = book->memberCounts.find(id);
  BookPage page = membersOf(*book, id, request);
  sendJson(res, 200,
           {{"id", id},
            {"name", name->second},
            {"members", count == book->memberCounts.end() ? 0 : count->second},
            {"matched", page.matched},
            {"offset", request.offset},
            {"limit", request.limit},
            {"entries", entriesJson(page, *book)}});
}

void handleExport(ConsoleService& service, const Request& req, Response& res) {
  bool legacy = legacyParam(req);
  Download download = service.exportBook(legacy, delimiterParam(req));
  sendDownload(res, download);
  res.set_header("X-Entry-Count", std::to_string(download.rows));
}

void handleTemplate(ConsoleService& service, const Request& req, Response& res) {
  bool legacy = legacyParam(req);
  if (legacy && req.has_param("services")) {
    throw WebError(400, "services apply to the DAB template only, not to the legacy one");
  }
  std::string list = param(req, "services", "all");
  std::optional<unsigned> services = servicesFromList(list);
  if (!services) {
    throw WebError(400, "services=" + list + " names an unknown service: use " + kServiceChoices);
  }
  sendDownload(res, service.sample(legacy, *services, delimiterParam(req)));
}

void handleAudit(ConsoleService& service, const Request& req, Response& res) {
  int limit = static_cast<int>(numberParam(req, "limit", 20, 1, kMaxAuditRecords));
  json records = json::array();
  for (const AuditRecord& record : service.audit(limit)) {
    records.push_back({{"at", record.at}, {"event", record.event}});
  }
  sendJson(res, 200, {{"records", std::move(records)}});
}

void handleActivity(ConsoleService& service, const Request& req, Response& res) {
  int limit = static_cast<int>(numberParam(req, "limit", 20, 1, kMaxAuditRecords));
  json records = json::array();
  for (const ActivityRecord& record : service.activity(limit)) {
    records.push_back({{"at", record.at}, {"event", record.event}, {"detail", record.detail}});
  }
  sendJson(res, 200, {{"records", std::move(records)}});
}

const char* contentTypeOf(const std::string& path) {
  auto endsWith = [&](const char* suffix) {
    std::string end(suffix);
    return path.size() >= end.size() &&
           path.compare(path.size() - end.size(), end.size(), end) == 0;
  };
  if (endsWith(".html")) return "text/html; charset=utf-8";
  if (endsWith(".js")) return "text/javascript; charset=utf-8";
  if (endsWith(".css")) return "text/css; charset=utf-8";
  if (endsWith(".png")) return "image/png";
  if (endsWith(".svg")) return "image/svg+xml";
  return "application/octet-stream";
}

RouteHandler assetRoute(const WebAsset& asset) {
  return [&asset](const Request&, Response& res) {
    res.set_header("Cache-Control", "no-cache");
    // Everything the page uses comes from here; no script from elsewhere may run in it.
    // No other site may frame the page either, to make a click change the book.
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_content(std::string(asset.bytes), contentTypeOf(asset.path));
  };
}

}  // namespace

std::vector<WebRoute> consoleRoutes(ConsoleService& service, size_t maxUpload) {
  auto bound = [&service](void (*handler)(ConsoleService&, const Request&, Response&)) {
    return [&service, handler](const Request& req, Response& res) { handler(service, req, res); };
  };
  std::vector<WebRoute> routes = {
      {"GET", "/api/contacts", bound(handleContacts), nullptr},
      {"POST", "/api/export", bound(handleExport), nullptr},
      {"GET", "/api/template", bound(handleTemplate), nullptr},
      {"POST", "/api/import", nullptr, importRoute(service, maxUpload)},
      {"GET", "/api/import/progress", importProgressRoute(service), nullptr},
      {"GET", "/api/import/report", importReportRoute(service), nullptr},
      {"GET", "/api/audit", bound(handleAudit), nullptr},
      {"GET", "/api/activity", bound(handleActivity), nullptr},
      {"GET", "/api/group", bound(handleGroup), nullptr},
  };
  for (WebRoute& route : changeRoutes(service)) routes.push_back(std::move(route));
  for (const WebAsset& asset : webAssets()) {
    routes.push_back({"GET", asset.path, assetRoute(asset), nullptr});
    if (std::string(asset.path) == "/index.html")
      routes.push_back({"GET", "/", assetRoute(asset), nullptr});
  }
  return routes;
}

void sendJson(Response& res, int status, const json& value) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(value.dump(-1, ' ', false, json::error_handler_t::replace),
                  "application/json; charset=utf-8");
}

void sendError(Response& res, int status, const std::string& message) {
  std::string sentence = message.empty() ? "something went wrong" : message;
  if (sentence.back() != '.') sentence += '.';
  sendJson(res, status, {{"error", sentence}});
}

std::string uploadLimitMessage(size_t maxUpload) {
  return "the file is larger than the upload limit of " + sizeText(maxUpload) +
         "; split it and import the parts one after the other";
}

std::string delimiterParam(const Request& req) {
  std::string typed = param(req, "delimiter", "Comma");
  std::optional<std::string> name = delimiterNameOf(typed);
  if (!name) throw WebError(400, unknownDelimiter(typed));
  return *name;
}

}  // namespace dabtool
