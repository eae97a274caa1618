#include "library_log.h"

#include "dabplatform.h"

namespace dabtool {

ScopedLogListener::ScopedLogListener(int minLevel, LibraryLogReader& reader) : reader_(reader) {
  dabplatform_set_log_listener(&ScopedLogListener::forward, this, minLevel);
}

ScopedLogListener::~ScopedLogListener() { dabplatform_set_log_listener(nullptr, nullptr, 0); }

int ScopedLogListener::forward(void* context, int, const char*, int, const char* format,
                               va_list args) {
  auto* self = static_cast<ScopedLogListener*>(context);
  LibraryLine line = self->table_.identify(format);
  if (line == LibraryLine::kOther) return DABPLATFORM_LOG_MUTE;
  self->reader_.heard(line, args);
  return 0;
}

LibraryErrors::LibraryErrors() : listener_(DABPLATFORM_LOG_ERROR, *this) {}

void LibraryErrors::heard(LibraryLine line, va_list) { seen_.insert(line); }

}  // namespace dabtool
