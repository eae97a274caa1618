// What the web console does with the library and the stand-in platform,
// one operation at a time. The library is not re-entrant (hidden parser and
// tokenizer state, fixed file names) and the stand-ins are configured
// process-wide, so every call that reaches either waits for its turn here;
// the HTTP threads do everything else in parallel.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_CONSOLE_SERVICE_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_CONSOLE_SERVICE_H_

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "book_history.h"
#include "book_page.h"
#include "delete_entries.h"
#include "file_io.h"
#include "import_book.h"
#include "restore_book.h"
#include "workspace.h"

namespace dabtool {

// A file the library wrote, to be handed to the browser.
struct Download {
  std::string fileName;  // the fixed name without its folder
  std::string bytes;
  int rows = 0;  // entries written; 0 for a sample
  char delimiter = ',';
};

// How far the running import has come.
struct ImportProgress {
  bool active = false;  // the library is reading an upload
  int done = 0;         // data records read so far
  int total = 0;        // data records in the upload
};

struct AuditRecord {
  std::string at;  // UTC, ISO-8601
  std::string event;
};

// One line of the console's recent activity: an audit record, or a change
// this console made that the audit log does not hold.
struct ActivityRecord {
  std::string at;      // UTC, ISO-8601 with milliseconds, as the audit log writes it
  std::string event;   // "address book exported", "import of people.csv"
  std::string detail;  // the counts, when this console knows them; may be empty
};

class ConsoleService {
 public:
  // `patience`: how long an operation waits for its turn before it gives
  // up with WebError 503.
  ConsoleService(const Workspace& workspace, std::chrono::milliseconds patience);
  ConsoleService(const ConsoleService&) = delete;
  ConsoleService& operator=(const ConsoleService&) = delete;

  const Workspace& workspace() const { return workspace_; }

  // The whole book. Read again only when the database file changed since
  // the last read, by this process or another.
  std::shared_ptr<const BookSnapshot> book();

  // Runs the DAB or legacy export. WebError 409 without a book; Failure.
  Download exportBook(bool legacy, const std::string& delimiterName);

  // Writes the DAB sample with `services` (bits 4 fax, 1 e-mail, 2
  // internet fax, 8 scan) or the legacy sample. Failure.
  Download sample(bool legacy, unsigned services, const std::string& delimiterName);

  // The all-or-nothing import of dabtool import, on an upload received into
  // `staged` (a file staged for the fixed upload name, see uploadTarget()).
  std::shared_ptr<const ImportReport> importUpload(const ImportRequest& request,
                                                   StagedFile& staged);

  // Where an upload is staged before its import: the fixed upload name.
  std::string uploadTarget() const;

  // The running import's or restore's progress; answers at once, without a
  // turn.
  ImportProgress importProgress() const;

  // Every record of the last import as a CSV file (see recordReportCsv);
  // nullopt before the first import of this process.
  std::optional<std::string> importRecordReport();

  // The restore of dabtool restore, on the bytes of an upload.
  RestoreReport restore(const RestoreRequest& request, std::string_view bytes);

  // Deletes what `selection` names, with its memberships. Failure.
  DeleteResult deleteEntries(const DeleteSelection& selection);

  // Puts back the book as it was before the last change. Failure.
  UndoResult undo();

  // The kept states of the book, oldest first, and the disk they take.
  std::vector<KeptState> changes(uintmax_t* diskBytes);

  // The newest `limit` audit records, newest first. Failure.
  std::vector<AuditRecord> audit(int limit);

  // The newest `limit` records of the audit log and of this console's own
  // imports, newest first; the console's exports carry their counts. Failure.
  std::vector<ActivityRecord> activity(int limit);

  // Operations that wait for their turn give up (503) within a tenth of a
  // second; the one under way finishes. Safe from any thread.
  void stop() { stopping_ = true; }

 private:
  // What identifies one state of the database file and its write-ahead log.
  struct FileState {
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    long long modified = 0;  // nanoseconds
    off_t logSize = 0;
    long long logModified = 0;
    bool operator==(const FileState& other) const;
  };
  FileState databaseState() const;
  std::unique_lock<std::timed_mutex> takeTurn();
  Download readDownload(const std::string& file) const;
  std::vector<AuditRecord> auditRecords(int limit);
  void note(ActivityRecord record);

  const Workspace& workspace_;
  std::chrono::milliseconds patience_;
  std::timed_mutex turn_;
  std::atomic<int> waiting_{0};  // operations waiting for their turn
  std::atomic<bool> stopping_{false};
  std::shared_ptr<const BookSnapshot> cached_;      // guarded by turn_
  FileState cachedState_;                           // guarded by turn_
  std::shared_ptr<const ImportReport> lastImport_;  // guarded by turn_; shared with its answer
  // Sets the flag while a long operation runs.
  struct Running {
    explicit Running(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~Running() { flag_ = false; }
    std::atomic<bool>& flag_;
  };
  // A fresh count for the operation about to run, fed by what it reports.
  std::function<void(int, int)> progressSink();

  // This process's imports and exports, oldest first, at most kNotedActivity.
  std::deque<ActivityRecord> noted_;  // guarded by turn_
  std::atomic<bool> importing_{false};
  std::atomic<int> importDone_{0};
  std::atomic<int> importTotal_{0};
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_CONSOLE_SERVICE_H_
