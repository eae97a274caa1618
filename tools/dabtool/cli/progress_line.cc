#include "progress_line.h"

#include <unistd.h>

#include <utility>

#include "text.h"

namespace dabtool {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kQuietFor(1000);  // jobs shorter than this show nothing
constexpr milliseconds kEvery(100);

}  // namespace

ProgressLine::ProgressLine(std::FILE* out, bool terminal, std::string what, Clock clock)
    : out_(out), terminal_(terminal), what_(std::move(what)), clock_(std::move(clock)) {
  start_ = clock_();
}

ProgressLine::ProgressLine(std::string what)
    : ProgressLine(stderr, ::isatty(STDERR_FILENO) == 1, std::move(what)) {}

ProgressLine::~ProgressLine() { finish(); }

void ProgressLine::update(long done, long total) {
  if (!terminal_) return;
  auto now = clock_();
  if (now - start_ < kQuietFor || (shown_ && now - shownAt_ < kEvery)) return;
  std::string count = pluralGrouped(total, "record", "records");
  std::fprintf(out_, "\r%s: %s of %s\x1b[K", what_.c_str(), groupedDigits(done).c_str(),
               count.c_str());
  std::fflush(out_);
  shown_ = true;
  shownAt_ = now;
}

void ProgressLine::finish() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", out_);
  std::fflush(out_);
  shown_ = false;
}

}  // namespace dabtool
