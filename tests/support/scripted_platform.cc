#include "scripted_platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <new>

#include "audit_log.h"
#include "path_service.h"
#include "utf8_text.h"

namespace dabtest {

// Owns the entries, sub-records and strings of one list handed out.
struct ScriptedPlatform::ListStorage {
  std::vector<std::unique_ptr<ContactRecord>> records;
  std::unique_ptr<DAB_DBI_Contact_t[]> entries;
};

std::string copyText(const char* s) { return s ? std::string(s) : std::string(); }

std::string repeat(const std::string& unit, size_t times) {
  std::string text;
  while (times-- > 0) text += unit;
  return text;
}

int lowestFreeFd() {
  int fd = open("/dev/null", O_RDONLY);
  if (fd >= 0) close(fd);
  return fd;
}

ScriptedPlatform& ScriptedPlatform::instance() {
  static ScriptedPlatform platform;
  return platform;
}

void ScriptedPlatform::reset() {
  lists_.clear();
  *this = ScriptedPlatform();
}

void ScriptedPlatform::record(const std::string& call) {
  calls.push_back(call);
  if (!throwBadAllocIn.empty() && call.substr(0, call.find('(')) == throwBadAllocIn) {
    throw std::bad_alloc();
  }
}

std::vector<std::string> ScriptedPlatform::logTexts(int level) const {
  std::vector<std::string> texts;
  for (const LogLine& line : logs) {
    if (line.first == level) texts.push_back(line.second);
  }
  return texts;
}

int ScriptedPlatform::callCount(const std::string& prefix) const {
  int n = 0;
  for (const std::string& call : calls) n += call.compare(0, prefix.size(), prefix) == 0;
  return n;
}

DAB_DBI_Contact_t* ScriptedPlatform::handOutList() {
  if (contacts.empty()) return nullptr;
  auto storage = std::make_unique<ListStorage>();
  // Exactly as many entries as scripted: the sanitizers report a walk past the end.
  storage->entries.reset(new DAB_DBI_Contact_t[contacts.size()]);
  for (size_t i = 0; i < contacts.size(); ++i) {
    storage->records.push_back(std::make_unique<ContactRecord>(contacts[i]));
    storage->entries[i] = *storage->records.back()->get();
  }
  DAB_DBI_Contact_t* first = storage->entries.get();
  lists_[first] = std::move(storage);
  return first;
}

bool ScriptedPlatform::releaseList(DAB_DBI_Contact_t* first) {
  return first == nullptr || lists_.erase(first) == 1;
}

PlatformTest::PlatformTest() {
  fake().reset();
  std::filesystem::create_directories(root_ + "/http/data");
  previousDir_ = std::filesystem::current_path().string();
  std::filesystem::current_path(root_);
  fake().dataDir = root_;
}

PlatformTest::~PlatformTest() {
  std::filesystem::current_path(previousDir_);
  fake().reset();
}

}  // namespace dabtest

using dabtest::fake;

namespace {

// Records "name(arg,arg,...)" and returns `result`.
template <typename... Args>
int recordCall(int result, const char* name, const Args&... args) {
  std::string call = std::string(name) + "(";
  ((call += std::string(args) + ","), ...);
  if (sizeof...(args) > 0) call.pop_back();
  fake().record(call + ")");
  return result;
}

std::string str(int value) { return std::to_string(value); }

}  // namespace

// --- Contact database -------------------------------------------------------

extern "C" int DAB_DBI_Connect(void) { return recordCall(fake().connectResult, "DAB_DBI_Connect"); }

extern "C" int DAB_DBI_Disconnect(void) {
  return recordCall(fake().disconnectResult, "DAB_DBI_Disconnect");
}

extern "C" int DAB_DBI_GetContactsCount(int* count, int selector) {
  recordCall(0, "DAB_DBI_GetContactsCount", str(selector));
  *count = fake().countValue.value_or(static_cast<int>(fake().contacts.size()));
  return fake().countResult;
}

extern "C" int DAB_DBI_GetContactList(DAB_DBI_ContactList_t* list, int selector, int options) {
  recordCall(0, "DAB_DBI_GetContactList", str(selector), str(options));
  ++fake().listsOutstanding;
  if (fake().listResult != 0) return fake().listResult;
  list->contacts = fake().handOutList();
  return 0;
}

extern "C" int DAB_DBI_Free_ContactList(DAB_DBI_ContactList_t* list) {
  recordCall(0, "DAB_DBI_Free_ContactList",
             fake().releaseList(list->contacts) ? "restored" : "moved");
  --fake().listsOutstanding;
  free(list);
  return 0;
}

extern "C" int DAB_DBI_GetAllGroupIds(DAB_DBI_GroupIds_t* ids, int contactId, int selector) {
  recordCall(0, "DAB_DBI_GetAllGroupIds", str(contactId), str(selector));
  if (fake().groupIdsFailFor.count(contactId)) return 1;
  std::vector<int32_t>& groups = fake().groupIds[contactId];
  ids->count = static_cast<int32_t>(groups.size());
  static int32_t stale = 99;
  ids->ids = groups.empty() ? (fake().staleIdsWhenEmpty ? &stale : nullptr) : groups.data();
  return 0;
}

extern "C" int DAB_DBI_CreateContact(DAB_DBI_Contact_t* contact, int* newContactId) {
  using dabtest::copyText;
  recordCall(0, "DAB_DBI_CreateContact");
  if (fake().duringCreate) fake().duringCreate();
  dabtest::CreatedContact c;
  c.record = *contact;
  c.newContactIdOnEntry = *newContactId;
  if (contact->person) c.person = *contact->person;
  if (contact->email) c.email = *contact->email;
  if (contact->internetFax) c.ifax = *contact->internetFax;
  c.displayName = copyText(contact->displayName), c.company = copyText(c.person.company);
  c.firstName = copyText(c.person.firstName), c.lastName = copyText(c.person.lastName);
  c.emailAddress = copyText(c.email.address), c.ifaxAddress = copyText(c.ifax.address);
  int call = fake().createCalls++;
  int result = fake().refuseCreateCall.count(call) ? 1 : 0;
  if (result == 0) {
    *newContactId = 1000 + call;
    fake().created.push_back(std::move(c));
  }
  return result;
}

// --- Path service -------------------------------------------------------------

extern "C" const char* xpaths_get_path(const char* key) {
  recordCall(0, "xpaths_get_path", key);
  return fake().dataDir.c_str();
}

// A stream over `file` that tells the fake the size of every read and write
// the C library makes, i.e. how the stream's buffer drains and fills.
static FILE* recordingStream(FILE* file, const char* mode) {
  cookie_io_functions_t io{};
  io.read = [](void* cookie, char* buffer, size_t size) -> ssize_t {
    fake().transfers.push_back(size);
    return static_cast<ssize_t>(fread(buffer, 1, size, static_cast<FILE*>(cookie)));
  };
  io.write = [](void* cookie, const char* buffer, size_t size) -> ssize_t {
    fake().transfers.push_back(size);
    return static_cast<ssize_t>(fwrite(buffer, 1, size, static_cast<FILE*>(cookie)));
  };
  io.close = [](void* cookie) { return fclose(static_cast<FILE*>(cookie)); };
  FILE* stream = file != nullptr ? fopencookie(file, mode, io) : nullptr;
  if (stream == nullptr && file != nullptr) fclose(file);
  return stream;
}

extern "C" FILE* xpaths_open_file(const char* dir, const char* relativeName, const char* mode) {
  recordCall(0, "xpaths_open_file", fake().dataDir == dir ? "DATA" : dir, relativeName, mode);
  if (fake().failOpen) return nullptr;
  FILE* file = fopen((std::string(dir) + "/" + relativeName).c_str(), mode);
  fake().lastOpened = fake().recordTransfers ? recordingStream(file, mode) : file;
  return fake().lastOpened;
}

// The library's chmod goes through here so that tests see it in the call
// order; the real chmod still runs.
extern "C" int chmod(const char* path, mode_t mode) {
  char octal[16];
  snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
  recordCall(0, "chmod", path, octal);
  static auto real = reinterpret_cast<int (*)(const char*, mode_t)>(dlsym(RTLD_NEXT, "chmod"));
  return real ? real(path, mode) : -1;
}

// --- Logging, audit log, UTF-8 --------------------------------------------------

int logSpecLibEnter = dabtest::kLibEnter, logSpecInfo = dabtest::kInfo;
int logSpecDebug = dabtest::kDebug, logSpecError = dabtest::kError;
int logSpecForceInfo = dabtest::kForceInfo;

extern "C" void Log_SpecEntry(int level, const char*, int, const char* format, ...) {
  va_list args;
  if (fake().logTap) {
    va_start(args, format);
    fake().logTap(level, format, args);
    va_end(args);
  }
  // The parser logs every byte it reads; big uploads would keep millions of lines.
  if (level == dabtest::kInfo && !fake().keepInfoLogs) return;
  va_start(args, format);
  char* message = nullptr;
  if (vasprintf(&message, format, args) < 0) message = nullptr;
  va_end(args);
  fake().logs.push_back({level, message ? message : ""});
  free(message);
}

extern "C" int adlog_addressbook_export(void) { return recordCall(0, "adlog_addressbook_export"); }

extern "C" int UTF8_strlen(const char* text) {
  int n = 0;
  for (const char* p = text; *p; ++p) n += (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
  return n;
}
