#include "book_history.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "address_book.h"
#include "errors.h"
#include "file_io.h"
#include "text.h"

namespace fs = std::filesystem;

namespace dabtool {

namespace {

const char* const kSidecars[] = {"-wal", "-shm", "-journal"};

// One line per field of the description file: when, what, how much, and
// whether a book existed. Line ends in a file name must not split a field.
std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

std::string clockText(long long at) {
  std::time_t then = static_cast<std::time_t>(at);
  std::time_t now = std::time(nullptr);
  std::tm thenLocal{}, nowLocal{};
  localtime_r(&then, &thenLocal);
  localtime_r(&now, &nowLocal);
  char text[32];
  bool today = thenLocal.tm_yday == nowLocal.tm_yday && thenLocal.tm_year == nowLocal.tm_year;
  std::strftime(text, sizeof text, today ? "at %H:%M" : "on %Y-%m-%d at %H:%M", &thenLocal);
  return text;
}

}  // namespace

BookHistory::BookHistory(const Workspace& workspace)
    : database_(workspace.databasePath()),
      shown_(workspace.shown(workspace.databasePath())),
      directory_(workspace.databasePath() + ".dabtool-history") {}

std::string BookHistory::fileOf(int serial, const char* extension) const {
  char name[32];
  std::snprintf(name, sizeof name, "%06d.%s", serial, extension);
  return (fs::path(directory_) / name).string();
}

std::vector<KeptState> BookHistory::states() const {
  std::vector<KeptState> states;
  std::error_code error;
  for (fs::directory_iterator it(directory_, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().extension() != ".txt") continue;
    std::istringstream lines(readFile(it->path().string(), it->path().string()));
    KeptState state;
    std::string at, hadBook;
    std::getline(lines, at);
    std::getline(lines, state.change);
    std::getline(lines, state.detail);
    std::getline(lines, hadBook);
    state.serial = std::atoi(it->path().stem().c_str());
    state.at = std::atoll(at.c_str());
    state.hadBook = hadBook != "0";
    if (state.serial > 0) states.push_back(state);
  }
  std::sort(states.begin(), states.end(),
            [](const KeptState& a, const KeptState& b) { return a.serial < b.serial; });
  return states;
}

uintmax_t BookHistory::diskBytes() const {
  uintmax_t bytes = 0;
  std::error_code error;
  for (fs::directory_iterator it(directory_, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code sizeError;
    uintmax_t size = fs::file_size(it->path(), sizeError);
    if (!sizeError) bytes += size;
  }
  return bytes;
}

KeptState BookHistory::keep(const std::string& change, const std::string& detail) {
  std::error_code error;
  fs::create_directories(directory_, error);
  if (error)
    throw Failure("cannot keep the book's earlier state in " + directory_ + ": " + error.message());
  std::vector<KeptState> kept = states();
  KeptState state;
  state.serial = kept.empty() ? 1 : kept.back().serial + 1;
  state.at = static_cast<long long>(std::time(nullptr));
  state.change = oneLine(change);
  state.detail = oneLine(detail);
  state.hadBook = fs::exists(database_, error);
  std::string copy = fileOf(state.serial, "db");
  // The book about to be replaced is a file nothing will write again: a
  // second name for it keeps it without copying a byte.
  if (state.hadBook && ::link(database_.c_str(), copy.c_str()) != 0) {
    copyFileAtomically(database_, shown_, copy, copy, Durability::kFlushed);
  }
  // Not flushed: a crash that loses it loses a way back, never the book.
  writeFileAtomically(fileOf(state.serial, "txt"),
                      std::to_string(state.at) + "\n" + state.change + "\n" + state.detail + "\n" +
                          (state.hadBook ? "1" : "0") + "\n",
                      fileOf(state.serial, "txt"), Durability::kUnflushed);
  return state;
}

void BookHistory::forget(const KeptState& state) {
  ::unlink(fileOf(state.serial, "txt").c_str());
  ::unlink(fileOf(state.serial, "db").c_str());
}

void BookHistory::dropOldest() {
  std::vector<KeptState> kept = states();
  for (size_t i = 0; i + kKeptStates < kept.size(); ++i) forget(kept[i]);
}

void BookHistory::commit(ScratchCopy& scratch, const std::string& change,
                         const std::string& detail) {
  KeptState state = keep(change, detail);
  try {
    scratch.commit();
  } catch (...) {
    forget(state);
    throw;
  }
  dropOldest();
}

KeptState BookHistory::undo() {
  std::vector<KeptState> kept = states();
  if (kept.empty()) {
    throw Failure("there is no change to undo: no earlier state of " + shown_ + " is kept");
  }
  const KeptState& last = kept.back();
  if (last.hadBook) {
    if (::rename(fileOf(last.serial, "db").c_str(), database_.c_str()) != 0) {
      throw Failure("cannot put back the earlier state of " + shown_ + ": " + errorText(errno));
    }
  } else if (::unlink(database_.c_str()) != 0 && errno != ENOENT) {
    throw Failure("cannot remove " + shown_ + ", which did not exist before: " + errorText(errno));
  }
  // The sidecars belonged to the file that was just replaced.
  for (const char* sidecar : kSidecars) ::unlink((database_ + sidecar).c_str());
  fs::path parent = fs::path(database_).parent_path();
  syncDirectory(parent.empty() ? "." : parent.string());
  forget(last);
  return last;
}

std::string describeChange(const KeptState& state) {
  std::string text = state.change + " " + clockText(state.at);
  return state.detail.empty() ? text : text + ", " + state.detail;
}

}  // namespace dabtool

namespace dabtool {

void changeBook(const Workspace& workspace,
                const std::function<BookChange(const std::string& shownName)>& work) {
  const std::string& database = workspace.databasePath();
  std::string shownName = workspace.shown(database);
  DatabaseLock lock(database, shownName);
  ScratchCopy scratch(database, shownName);
  BookChange done;
  {
    UseDatabaseFile useScratch(scratch.path());
    done = work(shownName);
  }
  if (!done.change.empty()) BookHistory(workspace).commit(scratch, done.change, done.detail);
}

UndoResult undoLastChange(const Workspace& workspace) {
  const std::string& database = workspace.databasePath();
  DatabaseLock lock(database, workspace.shown(database));
  BookHistory history(workspace);
  UndoResult result;
  result.undone = history.undo();
  result.stillKept = history.states().size();
  result.diskBytes = history.diskBytes();
  result.bookExists = result.undone.hadBook;
  if (result.bookExists) result.entries = countEntries();
  return result;
}

std::string keptSentence(size_t kept, uintmax_t diskBytes) {
  if (kept == 0) return "no earlier change can be undone";
  return plural(static_cast<long>(kept), "earlier change", "earlier changes") +
         " can still be undone; the kept copies take " + sizeText(static_cast<size_t>(diskBytes));
}

}  // namespace dabtool
