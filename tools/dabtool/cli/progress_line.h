// A single line on a terminal that says how far a long job has come, shown
// only once the job has run for a second, and wiped when it ends.
#ifndef DABUTILS_TOOLS_DABTOOL_CLI_PROGRESS_LINE_H_
#define DABUTILS_TOOLS_DABTOOL_CLI_PROGRESS_LINE_H_

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace dabtool {

class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Writes to `out` only when `terminal` is true: a pipe or a file gets no
  // carriage returns. `what` starts the line ("Importing").
  ProgressLine(std::FILE* out, bool terminal, std::string what,
               Clock clock = std::chrono::steady_clock::now);
  // A line on stderr when stderr is a terminal.
  explicit ProgressLine(std::string what);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // "Importing: 12,288 of 65,000 records", at most ten times a second.
  void update(long done, long total);
  // Wipes the line, if one was shown.
  void finish();

 private:
  std::FILE* out_;
  bool terminal_;
  std::string what_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point shownAt_;
  bool shown_ = false;
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_CLI_PROGRESS_LINE_H_
