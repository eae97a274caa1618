// POST /api/import: the file in the request body (or in the form field
// "file"), imported all or nothing as dabtool import does it, answered with
// the counts, every refused or doubtful record and, when the library stopped,
// its status and what that status means.
#include <algorithm>

#include "cli.h"
#include "seed.h"
#include "web_error.h"
#include "web_json.h"
#include "web_routes.h"

namespace dabtool {

namespace {

using httplib::Request;
using httplib::Response;

constexpr size_t kMaxNameLength = 200;

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

struct Upload {
  std::string name;
  std::string bytes;
};

Upload uploadOf(const Request& req) {
  if (!req.is_multipart_form_data()) {
    return {shownUploadName(req.has_param("name") ? req.get_param_value("name") : ""), req.body};
  }
  if (!req.has_file("file")) {
    throw WebError(400, "the form has no field 'file' with the file to import");
  }
  httplib::MultipartFormData file = req.get_file_value("file");
  return {shownUploadName(file.filename), file.content};
}

void writeCommon(JsonWriter& json, const ImportReport& report, bool dryRun) {
  json.stringArray("findings", recordFindings(report, dryRun))
      .stringArray("changes", report.changes)
      .stringArray("warnings", report.warnings);
}

// The library stopped before the end of the file (status 3 or 6), or could
// not start (status 1).
void sendFailed(Response& res, const ImportRequest& request, const ImportReport& report) {
  FailedImport failed = failedImport(report);
  JsonWriter json;
  json.beginObject();
  if (report.log.parseError) {
    json.field("error", "the import stopped at " + stopPlace(report) + " (import status " +
                            std::to_string(failed.status) + ": " + failed.meaning +
                            "). Nothing was imported and the address book is unchanged: fix "
                            "the file and import it again");
  } else {
    json.field("error", "the import failed: " + failed.meaning + " (import status 1)");
  }
  json.field("status", failed.status).field("statusMeaning", failed.meaning);
  writeCommon(json, report, request.dryRun);
  json.endObject();
  sendJson(res, report.log.parseError ? 422 : 500, json.text());
}

void sendDone(Response& res, const ImportRequest& request, const ImportReport& report) {
  int inFile = static_cast<int>(report.scan.records.size()) - 1;
  int read = std::max(0, report.log.parsedRecords - 1);
  if (inFile < 1) {
    throw WebError(422, request.file +
                            " holds no data records (a header row and nothing more, or "
                            "nothing); nothing was imported");
  }
  if (read == 0 && report.entriesBefore >= kDeviceLimit) {
    throw WebError(409, "the address book is full (it holds " +
                            std::to_string(report.entriesBefore) +
                            " entries, the device limit); nothing was imported");
  }
  std::string summary = std::string(request.dryRun ? "Check only: would create " : "Created ") +
                        plural(report.successCount, "contact", "contacts") + " from " +
                        plural(read, "data record", "data records") + "; " +
                        std::to_string(report.failureCount) +
                        (request.dryRun ? " would be refused." : " refused.");
  JsonWriter json;
  json.beginObject()
      .field("summary", summary)
      .field("created", report.successCount)
      .field("refused", report.failureCount)
      .field("dataRecords", read)
      .field("dryRun", request.dryRun)
      .field("saved", report.saved)
      .field("entriesBefore", report.entriesBefore)
      .field("entriesAfter", report.entriesAfter);
  if (read < inFile) {
    json.field("notRead", "the address book reached the device limit of " +
                              std::to_string(kDeviceLimit) + " entries: " +
                              plural(inFile - read, "record was", "records were") + " not read");
  }
  writeCommon(json, report, request.dryRun);
  json.endObject();
  sendJson(res, 200, json.text());
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
  PreparedUpload prepared;
  try {
    prepared = prepareUpload(upload.bytes, upload.name);
  } catch (const Failure& error) {
    throw WebError(422, error.what());
  }
  ImportReport report = service.importUpload(request, prepared);
  if (report.libraryOk) {
    sendDone(res, request, report);
  } else {
    sendFailed(res, request, report);
  }
}

}  // namespace

RouteHandler importRoute(ConsoleService& service, size_t maxUpload) {
  return [&service, maxUpload](const Request& req, Response& res) {
    handleImport(service, maxUpload, req, res);
  };
}

}  // namespace dabtool
