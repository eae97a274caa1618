// Listening to the library's log lines while it runs, through the logging
// stand-in, whatever the log threshold lets through to the screen.
#ifndef DABUTILS_TOOLS_DABTOOL_LOG_LISTENER_H_
#define DABUTILS_TOOLS_DABTOOL_LOG_LISTENER_H_

#include <functional>
#include <string>
#include <vector>

namespace dabtool {

// Hands every library line at or above `minLevel` (a DABPLATFORM_LOG_*
// value) to `onLine` for the object's lifetime. One listener at a time.
class ScopedLogListener {
 public:
  using Callback = std::function<void(int level, const std::string& message)>;
  ScopedLogListener(int minLevel, Callback onLine);
  ~ScopedLogListener();
  ScopedLogListener(const ScopedLogListener&) = delete;
  ScopedLogListener& operator=(const ScopedLogListener&) = delete;

 private:
  static void forward(void* context, int level, const char* sourcePath, int sourceLine,
                      const char* message);
  Callback onLine_;
};

// Keeps the library's error lines, to say why an operation failed.
class ErrorLines {
 public:
  ErrorLines();
  // The kept lines, oldest first, without trailing blanks and line ends.
  const std::vector<std::string>& lines() const { return lines_; }
  // True when a kept line starts with `prefix`.
  bool has(const std::string& prefix) const;

 private:
  std::vector<std::string> lines_;
  ScopedLogListener listener_;
};

// `message` without the blanks and line ends the library ends some lines with.
std::string trimmed(const std::string& message);

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_LOG_LISTENER_H_
