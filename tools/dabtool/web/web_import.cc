// POST /api/import: the file in the request body (or in the form field
// "file"), imported all or nothing as dabtool import does it, answered with
// the counts, every refused or doubtful record and, when the library stopped,
// its status and what that status means.
#include <nlohmann/json.hpp>

#include "errors.h"
#include "import_book.h"
#include "web_error.h"
#include "web_routes.h"

namespace dabtool {

namespace {

using httplib::Request;
using httplib::Response;
using nlohmann::json;

constexpr size_t kMaxNameLength = 200;
// How the console's sentences name the book: the page shows which file it is.
const char kBookName[] = "the address book";

// The name the person knows the file by, fit to stand in a sentence. It
// names the file only: the upload is always written to the fixed name.
std::string shownUploadName(const std::string& given) {
  std::string name;
  for (char c : given) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) name += c;
  }
  if (name.size() > kMaxNameLength) name = name.substr(0, kMaxNameLength) + "...";
  return name.empty() ? "the uploaded file" : name;
}

// The upload as the request holds it; nothing of megabytes is copied.
struct Upload {
  std::string name;
  std::string_view bytes;  // valid while the request lives
};

Upload uploadOf(const Request& req) {
  if (!req.is_multipart_form_data()) {
    return {shownUploadName(req.has_param("name") ? req.get_param_value("name") : ""), req.body};
  }
  auto file = req.files.find("file");
  if (file == req.files.end()) {
    throw WebError(400, "the form has no field 'file' with the file to import");
  }
  return {shownUploadName(file->second.filename), file->second.content};
}

// The lists both answers carry.
void addLists(json& answer, const ImportReport& report) {
  answer["findings"] = recordFindings(report);
  answer["changes"] = report.changes;
  answer["warnings"] = report.warnings;
}

// The HTTP status for an import that did not succeed.
int failureStatus(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::kNoDataRecords:
    case ImportOutcome::kStopped:
      return 422;
    case ImportOutcome::kBookFull:
      return 409;
    default:
      return 500;
  }
}

void sendFailed(Response& res, const ImportReport& report) {
  json answer = {{"error", failureSentence(report, kBookName)}};
  if (report.libraryStatus != 0) {
    answer["status"] = report.libraryStatus;
    answer["statusMeaning"] = statusMeaning(report);
  }
  addLists(answer, report);
  sendJson(res, failureStatus(report.outcome), answer);
}

void sendDone(Response& res, const ImportReport& report) {
  json answer = {
      {"summary", summarySentence(report) + "."}, {"created", report.successCount},
      {"refused", report.failureCount},           {"dataRecords", report.dataRecordsRead},
      {"dryRun", report.request.dryRun},          {"saved", report.saved},
      {"entriesBefore", report.entriesBefore},    {"entriesAfter", report.entriesAfter}};
  std::string limit = limitSentence(report);
  if (!limit.empty()) answer["notRead"] = limit;
  addLists(answer, report);
  sendJson(res, 200, answer);
}

PreparedUpload prepared(const Upload& upload) {
  try {
    return prepareUpload(upload.bytes, upload.name);
  } catch (const Failure& error) {
    throw WebError(422, error.what());
  }
}

void handleImport(ConsoleService& service, size_t maxUpload, const Request& req, Response& res) {
  ImportRequest request;
  request.delimiterName = delimiterParam(req);
  std::string dryRun = req.has_param("dryRun") ? req.get_param_value("dryRun") : "0";
  if (dryRun != "0" && dryRun != "1") throw WebError(400, "dryRun takes 0 or 1");
  request.dryRun = dryRun == "1";
  Upload upload = uploadOf(req);
  request.file = upload.name;
  if (upload.bytes.size() > maxUpload) throw WebError(413, uploadLimitMessage(maxUpload));
  if (upload.bytes.empty()) throw WebError(422, upload.name + " is empty; nothing was imported");
  ImportReport report = service.importUpload(request, prepared(upload));
  if (report.succeeded()) {
    sendDone(res, report);
  } else {
    sendFailed(res, report);
  }
}

}  // namespace

RouteHandler importRoute(ConsoleService& service, size_t maxUpload) {
  return [&service, maxUpload](const Request& req, Response& res) {
    handleImport(service, maxUpload, req, res);
  };
}

}  // namespace dabtool
