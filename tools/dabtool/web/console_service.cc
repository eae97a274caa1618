#include "console_service.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "address_book.h"
#include "dabplatform.h"
#include "database_copy.h"
#include "errors.h"
#include "export_book.h"
#include "file_io.h"
#include "import_findings.h"
#include "library_facts.h"
#include "sample_file.h"
#include "web_error.h"

namespace dabtool {

namespace {

long long nanoseconds(const struct timespec& at) {
  return static_cast<long long>(at.tv_sec) * 1000000000LL + at.tv_nsec;
}

void collectAuditRecord(void* context, const char* at, const char* event) {
  static_cast<std::vector<AuditRecord>*>(context)->push_back({at ? at : "", event ? event : ""});
}

// Now, as the audit log writes its times: "2024-05-01T12:00:00.000Z".
std::string utcNow() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  long millis = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  struct tm utc;
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char stamped[40];
  std::snprintf(stamped, sizeof stamped, "%s.%03ldZ", text, millis);
  return stamped;
}

constexpr size_t kNotedActivity = 200;

}  // namespace

bool ConsoleService::FileState::operator==(const FileState& other) const {
  return exists == other.exists && inode == other.inode && size == other.size &&
         modified == other.modified && logSize == other.logSize && logModified == other.logModified;
}

ConsoleService::ConsoleService(const Workspace& workspace, std::chrono::milliseconds patience)
    : workspace_(workspace), patience_(patience) {}

ConsoleService::FileState ConsoleService::databaseState() const {
  FileState state;
  struct stat info;
  if (::stat(workspace_.databasePath().c_str(), &info) != 0) return state;
  state.exists = true;
  state.inode = info.st_ino;
  state.size = info.st_size;
  state.modified = nanoseconds(info.st_mtim);
  if (::stat((workspace_.databasePath() + "-wal").c_str(), &info) == 0) {
    state.logSize = info.st_size;
    state.logModified = nanoseconds(info.st_mtim);
  }
  return state;
}

// Only a few requests wait at a time: the rest of the server's threads stay
// free for requests that need no turn, and for the page.
std::unique_lock<std::timed_mutex> ConsoleService::takeTurn() {
  constexpr int kMaxWaiting = 8;
  constexpr std::chrono::milliseconds kStopCheck(100);
  const char* busy = "the address book is busy with a long operation; try again in a moment";
  std::unique_lock<std::timed_mutex> turn(turn_, std::defer_lock);
  if (turn.try_lock()) return turn;
  if (++waiting_ > kMaxWaiting) {
    --waiting_;
    throw WebError(503, busy);
  }
  auto giveUp = std::chrono::steady_clock::now() + patience_;
  while (!stopping_ && std::chrono::steady_clock::now() < giveUp) {
    if (turn.try_lock_for(kStopCheck)) break;
  }
  --waiting_;
  if (!turn.owns_lock()) throw WebError(503, stopping_ ? "the console is stopping" : busy);
  return turn;
}

std::shared_ptr<const BookSnapshot> ConsoleService::book() {
  auto turn = takeTurn();
  FileState state = databaseState();
  if (cached_ && state == cachedState_) return cached_;
  auto snapshot = std::make_shared<BookSnapshot>();
  snapshot->exists = state.exists;
  if (state.exists) {
    checkDatabaseFile(workspace_.databasePath(), workspace_.shown(workspace_.databasePath()));
    AddressBook book;
    snapshot->entries = book.entries();
    summarize(*snapshot);
  }
  cached_ = snapshot;
  cachedState_ = state;
  return cached_;
}

Download ConsoleService::readDownload(const std::string& file) const {
  Download download;
  download.fileName = std::filesystem::path(file).filename().string();
  download.bytes = readFile(file, workspace_.shown(file));
  return download;
}

Download ConsoleService::exportBook(bool legacy, const std::string& delimiterName) {
  auto turn = takeTurn();
  if (!std::filesystem::exists(workspace_.databasePath())) {
    throw WebError(409, "there is no address book yet: import a file to start one");
  }
  ExportResult result = dabtool::exportBook(workspace_, legacy, delimiterName);
  Download download = readDownload(result.file);
  download.rows = result.rows;
  download.delimiter = result.delimiter;
  // The library wrote the audit record of this export just now, under our
  // turn: it is the newest, and the count belongs to it.
  std::vector<AuditRecord> newest = auditRecords(1);
  if (!newest.empty()) {
    note({newest[0].at, newest[0].event,
          std::to_string(result.rows) + (legacy ? " contacts to " : " entries to ") +
              download.fileName});
  }
  return download;
}

Download ConsoleService::sample(bool legacy, unsigned services, const std::string& delimiterName) {
  auto turn = takeTurn();
  Download download = readDownload(writeSample(legacy, delimiterName, services, workspace_));
  download.delimiter = importDelimiter(delimiterName);
  return download;
}

std::shared_ptr<const ImportReport> ConsoleService::importUpload(const ImportRequest& request,
                                                                 StagedFile& staged) {
  auto turn = takeTurn();
  cached_.reset();
  ImportRequest watched = request;
  watched.progress = progressSink();
  Running running(importing_);
  // The answer reads the report after the turn ends; a 65,000-record report
  // is shared, not copied, and the next import only drops this hold on it.
  lastImport_ = std::make_shared<const ImportReport>(importStaged(workspace_, watched, staged));
  if (!request.dryRun) {
    note({utcNow(), "import of " + request.file,
          lastImport_->succeeded() ? summarySentence(*lastImport_)
                                   : failureSentence(*lastImport_, "the address book")});
  }
  return lastImport_;
}

std::function<void(int, int)> ConsoleService::progressSink() {
  importDone_ = 0;
  importTotal_ = 0;
  return [this](int done, int total) {
    importTotal_ = total;
    importDone_ = done;
  };
}

ImportProgress ConsoleService::importProgress() const {
  return {importing_, importDone_, importTotal_};
}

std::optional<std::string> ConsoleService::importRecordReport() {
  auto turn = takeTurn();
  if (!lastImport_) return std::nullopt;
  try {
    MappedFile upload(lastImport_->placedFile, workspace_.shown(lastImport_->placedFile));
    return recordReportCsv(*lastImport_, upload.view());
  } catch (const Failure&) {
    return recordReportCsv(*lastImport_, "");  // gone since: the rows without names
  }
}

RestoreReport ConsoleService::restore(const RestoreRequest& request, std::string_view bytes) {
  auto turn = takeTurn();
  cached_.reset();
  RestoreRequest watched = request;
  watched.progress = progressSink();
  Running running(importing_);
  return restoreBytes(workspace_, watched, bytes);
}

DeleteResult ConsoleService::deleteEntries(const DeleteSelection& selection) {
  auto turn = takeTurn();
  cached_.reset();
  return dabtool::deleteEntries(workspace_, selection);
}

UndoResult ConsoleService::undo() {
  auto turn = takeTurn();
  cached_.reset();
  return undoLastChange(workspace_);
}

std::vector<KeptState> ConsoleService::changes(uintmax_t* diskBytes) {
  auto turn = takeTurn();
  BookHistory history(workspace_);
  *diskBytes = history.diskBytes();
  return history.states();
}

std::string ConsoleService::uploadTarget() const { return workspace_.fixedFile(kUploadFile); }

std::vector<AuditRecord> ConsoleService::audit(int limit) {
  auto turn = takeTurn();
  return auditRecords(limit);
}

void ConsoleService::note(ActivityRecord record) {
  noted_.push_back(std::move(record));
  if (noted_.size() > kNotedActivity) noted_.pop_front();
}

std::vector<ActivityRecord> ConsoleService::activity(int limit) {
  auto turn = takeTurn();
  std::vector<ActivityRecord> merged;
  std::vector<bool> shown(noted_.size(), false);
  for (AuditRecord& record : auditRecords(limit)) {
    ActivityRecord line{std::move(record.at), std::move(record.event), ""};
    for (size_t i = 0; i < noted_.size(); ++i) {
      if (noted_[i].at != line.at || noted_[i].event != line.event) continue;
      line.detail = noted_[i].detail;
      shown[i] = true;
    }
    merged.push_back(std::move(line));
  }
  for (size_t i = 0; i < noted_.size(); ++i) {
    if (!shown[i]) merged.push_back(noted_[i]);
  }
  std::stable_sort(merged.begin(), merged.end(),
                   [](const ActivityRecord& a, const ActivityRecord& b) { return a.at > b.at; });
  if (merged.size() > static_cast<size_t>(limit)) merged.resize(static_cast<size_t>(limit));
  return merged;
}

std::vector<AuditRecord> ConsoleService::auditRecords(int limit) {
  std::vector<AuditRecord> records;
  if (dabplatform_audit_records(collectAuditRecord, &records, limit) != 0) {
    throw Failure(std::string("cannot read the audit log: ") + dabplatform_database_error());
  }
  return records;
}

}  // namespace dabtool
