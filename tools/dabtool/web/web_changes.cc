// The console's changes to the book beyond the import: a DAB export
// restored, entries deleted, and the last change taken back. Each answer
// carries the sentences dabtool's commands print.
#include <nlohmann/json.hpp>
#include <optional>

#include "errors.h"
#include "text.h"
#include "web_error.h"
#include "web_routes.h"

namespace dabtool {

namespace {

using httplib::Request;
using httplib::Response;
using nlohmann::json;

const char kBookName[] = "the address book";

bool flagParam(const Request& req, const char* name) {
  std::string value = req.has_param(name) ? req.get_param_value(name) : "0";
  if (value != "0" && value != "1") throw WebError(400, std::string(name) + " takes 0 or 1");
  return value == "1";
}

json changesJson(ConsoleService& service) {
  uintmax_t diskBytes = 0;
  std::vector<KeptState> kept = service.changes(&diskBytes);
  json last = nullptr;
  if (!kept.empty()) last = {{"change", describeChange(kept.back())}, {"at", kept.back().at}};
  return {{"last", last},
          {"kept", kept.size()},
          {"diskBytes", diskBytes},
          {"keptText", keptSentence(kept.size(), diskBytes) + "."}};
}

void handleRestore(ConsoleService& service, const Request& req, Response& res) {
  RestoreRequest request;
  request.file = req.has_param("name") ? req.get_param_value("name") : "the uploaded file";
  request.merge = flagParam(req, "merge");
  RestoreReport report;
  try {
    report = service.restore(request, req.body);
  } catch (const UnreadableFile& error) {
    throw WebError(422, error.what());
  } catch (const Busy&) {
    throw;
  } catch (const Failure& error) {
    throw WebError(409, error.what());
  }
  if (!report.succeeded()) {
    json problems = json::array();
    for (const RowProblem& p : report.problems) {
      problems.push_back("line " + std::to_string(p.line) + ": " + p.reason);
    }
    sendJson(res, 422,
             {{"error", refusedSentence(report, kBookName) + "."}, {"problems", problems}});
    return;
  }
  sendJson(res, 200,
           {{"summary", restoredSentence(report) + "."},
            {"notes", restoreNotes(report)},
            {"entriesAfter", report.entriesAfter}});
}

DeleteSelection selectionOf(const Request& req) {
  DeleteSelection selection;
  selection.all = flagParam(req, "all");
  selection.match = req.has_param("q") ? req.get_param_value("q") : "";
  std::string ids = req.has_param("ids") ? req.get_param_value("ids") : "";
  for (size_t start = 0; start < ids.size();) {
    size_t comma = std::min(ids.find(',', start), ids.size());
    std::string typed = ids.substr(start, comma - start);
    std::optional<long> id = parseWholeNumber(typed, 1, 2147483647L);
    if (!id) throw WebError(400, "ids takes entry ids separated by commas, not '" + typed + "'");
    selection.ids.push_back(static_cast<int>(*id));
    start = comma + 1;
  }
  int ways = selection.all + !selection.match.empty() + !selection.ids.empty();
  if (ways != 1) throw WebError(400, "delete takes ids, q or all=1: exactly one of them");
  return selection;
}

void handleDelete(ConsoleService& service, const Request& req, Response& res) {
  DeleteSelection selection = selectionOf(req);
  DeleteResult result;
  try {
    result = service.deleteEntries(selection);
  } catch (const Busy&) {
    throw;
  } catch (const Failure& error) {
    throw WebError(404, error.what());
  }
  sendJson(res, 200,
           {{"summary", "Deleted " + deletedText(result.deleted) + ", with " +
                            plural(result.memberships, "membership", "memberships") + "."},
            {"deleted", result.deleted.size()},
            {"entriesAfter", result.entriesAfter}});
}

void handleUndo(ConsoleService& service, const Request&, Response& res) {
  UndoResult result;
  try {
    result = service.undo();
  } catch (const Busy&) {
    throw;
  } catch (const Failure& error) {
    throw WebError(409, error.what());
  }
  json answer = changesJson(service);
  answer["summary"] = "Undid " + describeChange(result.undone) + ".";
  sendJson(res, 200, answer);
}

void handleChanges(ConsoleService& service, const Request&, Response& res) {
  sendJson(res, 200, changesJson(service));
}

}  // namespace

std::vector<WebRoute> changeRoutes(ConsoleService& service) {
  auto bound = [&service](void (*handler)(ConsoleService&, const Request&, Response&)) {
    return [&service, handler](const Request& req, Response& res) { handler(service, req, res); };
  };
  return {
      {"POST", "/api/restore", bound(handleRestore), nullptr},
      {"POST", "/api/delete", bound(handleDelete), nullptr},
      {"POST", "/api/undo", bound(handleUndo), nullptr},
      {"GET", "/api/changes", bound(handleChanges), nullptr},
  };
}

}  // namespace dabtool
