// Stand-in logging facility: lines at or above a threshold go to a stream as
// "LEVEL unit:line message"; a listener may receive the unformatted calls
// regardless.
#include "logging.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

#include "dabplatform.h"

int logSpecLibEnter = DABPLATFORM_LOG_LIBENTER;
int logSpecInfo = DABPLATFORM_LOG_INFO;
int logSpecDebug = DABPLATFORM_LOG_DEBUG;
int logSpecError = DABPLATFORM_LOG_ERROR;
int logSpecForceInfo = DABPLATFORM_LOG_FORCEINFO;

namespace {

struct LogState {
  int threshold = DABPLATFORM_LOG_ERROR;
  FILE* stream = nullptr;  // nullptr: stderr.
  dabplatform_log_listener listener = nullptr;
  void* listenerContext = nullptr;
  int listenerMinLevel = DABPLATFORM_LOG_OFF;
};

LogState& state() {
  static LogState s;
  return s;
}

// Literals the listener muted, by a hash of their address. A literal that
// loses its slot to another is only handed to the listener once more.
constexpr size_t kMutedSlots = 64;
const char* muted[kMutedSlots];

size_t mutedSlot(const char* fmt) {
  auto address = reinterpret_cast<uintptr_t>(fmt);
  return (address ^ (address >> 7)) & (kMutedSlots - 1);
}

// The literal muted last: the parser logs each byte of a value with the
// same one, so most muted lines end on this compare, before the hash.
const char* lastMuted = nullptr;

void forgetMuted() {
  for (const char*& slot : muted) slot = nullptr;
  lastMuted = nullptr;
}

// The lowest level that reaches the stream or the listener. The parser logs
// every character it reads, so a line that goes nowhere must cost one
// compare, before any of the variadic call's work.
int lowestHeardLevel = DABPLATFORM_LOG_ERROR;

void noteLevels() {
  const LogState& s = state();
  lowestHeardLevel =
      s.listener != nullptr && s.listenerMinLevel < s.threshold ? s.listenerMinLevel : s.threshold;
}

std::string format(const char* fmt, va_list args) {
  char small[512];
  va_list copy;
  va_copy(copy, args);
  int length = vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (length < 0) return std::string();
  if (static_cast<size_t>(length) < sizeof small) return std::string(small, length);
  std::string big(static_cast<size_t>(length), '\0');
  vsnprintf(big.data(), big.size() + 1, fmt, args);
  return big;
}

}  // namespace

extern "C" void dabplatform_set_log_threshold(int level) {
  state().threshold = level;
  noteLevels();
}

extern "C" void dabplatform_set_log_stream(FILE* stream) { state().stream = stream; }

extern "C" void dabplatform_set_log_listener(dabplatform_log_listener listener, void* context,
                                             int minLevel) {
  state().listener = listener;
  state().listenerContext = context;
  state().listenerMinLevel = listener ? minLevel : DABPLATFORM_LOG_OFF;
  forgetMuted();
  noteLevels();
}

extern "C" const char* dabplatform_log_level_name(int level) {
  switch (level) {
    case DABPLATFORM_LOG_LIBENTER:
      return "ENTER";
    case DABPLATFORM_LOG_INFO:
      return "INFO";
    case DABPLATFORM_LOG_DEBUG:
      return "DEBUG";
    case DABPLATFORM_LOG_ERROR:
      return "ERROR";
    case DABPLATFORM_LOG_FORCEINFO:
      return "FORCEINFO";
    default:
      return "?";
  }
}

namespace {

// Everything past the level test, out of line so that Log_SpecEntry itself
// stays a compare and a return for the lines that go nowhere.
__attribute__((noinline)) void emit(int level, const char* sourcePath, int sourceLine,
                                    const char* fmt, va_list args) {
  const LogState& s = state();
  bool toStream = level >= s.threshold;
  bool toListener = s.listener != nullptr && level >= s.listenerMinLevel;
  if (!toStream && !toListener) return;
  if (toListener && muted[mutedSlot(fmt)] != fmt) {
    va_list copy;
    va_copy(copy, args);
    if (s.listener(s.listenerContext, level, sourcePath, sourceLine, fmt, copy) ==
        DABPLATFORM_LOG_MUTE) {
      muted[mutedSlot(fmt)] = fmt;
    }
    va_end(copy);
  }
  if (toStream) {
    std::string message = format(fmt, args);
    fprintf(s.stream ? s.stream : stderr, "%-9s %s:%d %s\n", dabplatform_log_level_name(level),
            sourcePath, sourceLine, message.c_str());
  }
}

}  // namespace

extern "C" void Log_SpecEntry(int level, const char* sourcePath, int sourceLine, const char* fmt,
                              ...) {
  if (level < lowestHeardLevel) return;
  // The parser's line per byte read ends here once the listener muted it.
  if (level < state().threshold) {
    if (fmt == lastMuted) return;
    if (muted[mutedSlot(fmt)] == fmt) {
      lastMuted = fmt;
      return;
    }
  }
  va_list args;
  va_start(args, fmt);
  emit(level, sourcePath, sourceLine, fmt, args);
  va_end(args);
}
