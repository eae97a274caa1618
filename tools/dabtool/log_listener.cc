#include "log_listener.h"

#include "dabplatform.h"

namespace dabtool {

ScopedLogListener::ScopedLogListener(int minLevel, Callback onLine) : onLine_(std::move(onLine)) {
  dabplatform_set_log_listener(&ScopedLogListener::forward, this, minLevel);
}

ScopedLogListener::~ScopedLogListener() { dabplatform_set_log_listener(nullptr, nullptr, 0); }

void ScopedLogListener::forward(void* context, int level, const char*, int, const char* message) {
  static_cast<ScopedLogListener*>(context)->onLine_(level, message ? message : "");
}

ErrorLines::ErrorLines()
    : listener_(DABPLATFORM_LOG_ERROR, [this](int level, const std::string& message) {
        if (level == DABPLATFORM_LOG_ERROR) lines_.push_back(trimmed(message));
      }) {}

bool ErrorLines::has(const std::string& prefix) const {
  for (const std::string& line : lines_) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::string trimmed(const std::string& message) {
  size_t end = message.find_last_not_of(" \r\n\t");
  return end == std::string::npos ? std::string() : message.substr(0, end + 1);
}

}  // namespace dabtool
