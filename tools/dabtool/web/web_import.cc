// POST /api/import: the file in the request body (or in the form field
// "file"), read and imported all or nothing as dabtool import does it,
// answered with how the file was read (format, column mapping, the first
// contacts), the counts, every refused or doubtful record and, when the
// library stopped, its status and what that status means.
#include <nlohmann/json.hpp>

#include "errors.h"
#include "import_book.h"
#include "import_findings.h"
#include "web_connection.h"
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

// The upload as it arrives, written straight to a file staged for the
// fixed upload name: its bytes never sit in memory, and the body stops
// being read once it passes the limit.
class ReceivedUpload {
 public:
  ReceivedUpload(ConsoleService& service, size_t maxUpload)
      : file_(service.uploadTarget(), "the upload file"), maxUpload_(maxUpload) {}

  // Reads the body: the whole of it, or the form field "file".
  void receive(const Request& req, const Response& res, const httplib::ContentReader& body) {
    auto keep = [this](const char* data, size_t length) { return append(data, length); };
    bool read = true;
    if (req.is_multipart_form_data()) {
      std::string part;
      read = body(
          [&](const httplib::MultipartFormData& header) {
            part = header.name;
            if (part == "file") {
              name_ = shownUploadName(header.filename);
              sawFile_ = true;
            }
            return true;
          },
          [&](const char* data, size_t length) { return part != "file" || append(data, length); });
    } else {
      name_ = shownUploadName(req.has_param("name") ? req.get_param_value("name") : "");
      sawFile_ = true;
      read = body(keep);
    }
    // A body whose length says it passes the server's own limit is skipped
    // unread, with 413 set on the answer; one whose framing alone passes the
    // connection's budget (chunks of a byte) is cut off there.
    ConnectionStream* connection = ConnectionStream::current();
    bool pastBudget = connection != nullptr && connection->bodyPastBudget();
    if (tooLarge_ || (!read && (res.status == 413 || pastBudget))) {
      throw WebError(413, uploadLimitMessage(maxUpload_));
    }
    if (!read) throw WebError(400, "the request's body could not be read");
    if (!sawFile_) throw WebError(400, "the form has no field 'file' with the file to import");
    if (file_.size() == 0) throw WebError(422, name_ + " is empty; nothing was imported");
  }

  const std::string& name() const { return name_; }
  StagedFile& file() { return file_; }

 private:
  bool append(const char* data, size_t length) {
    if (file_.size() + length > maxUpload_) {
      tooLarge_ = true;
      return false;
    }
    file_.write(std::string_view(data, length));
    return true;
  }

  StagedFile file_;
  size_t maxUpload_;
  std::string name_;  // set with the part that holds the file
  bool sawFile_ = false;
  bool tooLarge_ = false;
};

// How many records of each kind of finding the page lists; the report file
// has them all.
constexpr size_t kRecordsPerGroup = 300;

json findingGroups(const ImportReport& report) {
  json groups = json::array();
  for (const FindingGroup& group : groupFindings(report)) {
    json records = json::array();
    for (size_t i = 0; i < group.records.size() && i < kRecordsPerGroup; ++i) {
      records.push_back(describeRecord(report.scan, group.records[i]));
    }
    groups.push_back({{"refused", group.refused},
                      {"summary", groupSentence(report, group, 0)},
                      {"count", group.records.size()},
                      {"records", std::move(records)}});
  }
  return groups;
}

// How the file was read, for the console's mapping step: `source` holds the
// column (0-based, -1 for none) of each field in the library's order.
json readingJson(const UploadReading& reading, const std::string& file) {
  json preview = json::array();
  for (const ContactFields& fields : reading.preview) preview.push_back(fields);
  json fields = json::array();
  for (int field = 0; field < kFieldCount; ++field) {
    fields.push_back({{"key", fieldKey(field)}, {"text", fieldText(field)}});
  }
  return {{"sentence", readingSentence(reading, file) + "."},
          {"format", reading.format},
          {"asIs", reading.asIs},
          {"columns", reading.columns},
          {"source", reading.source},
          {"fields", fields},
          {"notes", readingNotes(reading)},
          {"preview", preview}};
}

// The lists both answers carry.
void addLists(json& answer, const ImportReport& report) {
  answer["groups"] = findingGroups(report);
  answer["changes"] = report.changes;
  answer["warnings"] = report.warnings;
  if (!report.scan.records.empty()) answer["report"] = "/api/import/report";
  answer["reading"] = readingJson(report.reading, report.request.file);
}

// The HTTP status for an import that did not succeed.
int failureStatus(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::kNoDataRecords:
    case ImportOutcome::kStopped:
    case ImportOutcome::kNothingCreated:
      return 422;
    case ImportOutcome::kBookFull:
    case ImportOutcome::kLimitReached:
      return 409;
    default:
      return 500;
  }
}

void sendFailed(Response& res, const ImportReport& report) {
  json answer = {{"outcome", "failed"}, {"error", failureSentence(report, kBookName)}};
  if (report.libraryStatus != 0) {
    answer["status"] = report.libraryStatus;
    answer["statusMeaning"] = statusMeaning(report);
  }
  addLists(answer, report);
  sendJson(res, failureStatus(report.outcome), answer);
}

void sendDone(Response& res, const ImportReport& report) {
  json answer = {{"outcome", report.failureCount > 0 ? "partly" : "success"},
                 {"summary", summarySentence(report) + "."},
                 {"created", report.successCount},
                 {"refused", report.failureCount},
                 {"dataRecords", report.dataRecordsRead},
                 {"dryRun", report.request.dryRun},
                 {"saved", report.saved},
                 {"entriesBefore", report.entriesBefore},
                 {"entriesAfter", report.entriesAfter}};
  std::string limit = limitSentence(report);
  if (!limit.empty()) answer["notRead"] = limit;
  addLists(answer, report);
  sendJson(res, 200, answer);
}

bool flagParam(const Request& req, const char* name) {
  std::string value = req.has_param(name) ? req.get_param_value(name) : "0";
  if (value != "0" && value != "1") throw WebError(400, std::string(name) + " takes 0 or 1");
  return value == "1";
}

ImportRequest requestOf(const Request& req) {
  ImportRequest request;
  request.delimiterName = delimiterParam(req);
  request.dryRun = flagParam(req, "dryRun");
  // Without a delimiter the tool finds it in the file's first row.
  request.reading.delimiterGiven = req.has_param("delimiter");
  request.reading.positional = flagParam(req, "positional");
  request.reading.columns = req.has_param("columns") ? req.get_param_value("columns") : "";
  request.reading.encoding = req.has_param("encoding") ? req.get_param_value("encoding") : "";
  return request;
}

void handleImport(ConsoleService& service, size_t maxUpload, const Request& req, Response& res,
                  const httplib::ContentReader& body) {
  ImportRequest request;
  try {
    request = requestOf(req);
    ReceivedUpload upload(service, maxUpload);
    upload.receive(req, res, body);
    request.file = upload.name();
    std::shared_ptr<const ImportReport> report = service.importUpload(request, upload.file());
    if (report->succeeded()) {
      sendDone(res, *report);
    } else {
      sendFailed(res, *report);
    }
  } catch (const UnmappedColumns& error) {
    // The columns go along, so the console can ask which one holds what.
    sendJson(res, 422,
             {{"error", std::string(error.what()) + "."},
              {"reading", readingJson(error.reading(), request.file)}});
  } catch (const UnreadableFile& error) {
    throw WebError(422, error.what());
  } catch (...) {
    // What is left of the body would be read as the next request.
    res.set_header("Connection", "close");
    throw;
  }
}

void handleProgress(const ConsoleService& service, Response& res) {
  ImportProgress progress = service.importProgress();
  sendJson(res, 200,
           {{"active", progress.active}, {"done", progress.done}, {"total", progress.total}});
}

void handleReport(ConsoleService& service, Response& res) {
  std::optional<std::string> report = service.importRecordReport();
  if (!report) throw WebError(404, "no import has run since the console started");
  res.set_header("Content-Disposition", "attachment; filename=\"import-report.csv\"");
  res.set_content(*report, "text/csv; charset=utf-8");
}

}  // namespace

RouteHandler importProgressRoute(const ConsoleService& service) {
  return [&service](const Request&, Response& res) { handleProgress(service, res); };
}

RouteHandler importReportRoute(ConsoleService& service) {
  return [&service](const Request&, Response& res) { handleReport(service, res); };
}

BodyHandler importRoute(ConsoleService& service, size_t maxUpload) {
  return
      [&service, maxUpload](const Request& req, Response& res, const httplib::ContentReader& body) {
        handleImport(service, maxUpload, req, res, body);
      };
}

}  // namespace dabtool
