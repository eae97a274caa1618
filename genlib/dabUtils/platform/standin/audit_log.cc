// Stand-in audit log. Replaced by the SQLite-backed version.
#include "audit_log.h"

extern "C" int adlog_addressbook_export(void) { return 0; }
