// The progress line: silent for short jobs and off a terminal, then one
// line rewritten in place, never more than ten times a second, and wiped.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "progress_line.h"

namespace {

using std::chrono::milliseconds;
using Time = std::chrono::steady_clock::time_point;

struct Captured {
  Captured() : file(std::tmpfile()) {}
  ~Captured() { std::fclose(file); }
  std::string text() const {
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
    return bytes;
  }
  std::FILE* file;
};

TEST(ProgressLine, ShowsLongJobsOnATerminalOnly) {
  Time now{};
  auto clock = [&now] { return now; };
  Captured terminal, pipe, quick;
  {
    dabtool::ProgressLine shortJob(quick.file, true, "Importing");
    shortJob.update(10, 20);
  }
  EXPECT_EQ(quick.text(), "") << "a short job leaves nothing";
  dabtool::ProgressLine line(terminal.file, true, "Importing", clock);
  dabtool::ProgressLine piped(pipe.file, false, "Importing", clock);
  for (auto [at, done] : {std::pair{900, 100}, {1000, 1200}, {1050, 1300}, {1100, 2000}}) {
    now = Time(milliseconds(at));
    line.update(done, 65000);
    piped.update(done, 65000);
  }
  line.finish();
  piped.finish();
  EXPECT_EQ(terminal.text(),
            "\rImporting: 1,200 of 65,000 records\x1b[K"
            "\rImporting: 2,000 of 65,000 records\x1b[K"
            "\r\x1b[K");
  EXPECT_EQ(pipe.text(), "");
}

}  // namespace
