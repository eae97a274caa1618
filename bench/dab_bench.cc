// One benchmark step per process, so that every step starts cold and its
// peak memory is its own. scripts/bench.sh calls these; each prints one JSON
// line on stdout.
//
//   dab_bench prepare DIR [CONTACTS [SEED]]  seeded database and upload file
//   dab_bench export DIR                     AdressBookExport on DIR's database
//   dab_bench legacy DIR                     LegacyAdressBookExport
//   dab_bench import DIR                     AddressBookImport into an empty database
//   dab_bench parse FILE                     the import parser alone, one pass
//
// DIR holds source.db (the address book), upload.csv (the same contacts as
// an upload) and root/ (the data root: http/data/ of the web server).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "DABImport.h"
#include "DABUtils.h"
#include "contact_db.h"
#include "dabplatform.h"
#include "dataset.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A "Vm...:" line of /proc/self/status, in KiB; -1 when absent.
long statusKib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  size_t length = strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0) return atol(line.c_str() + length + 1);
  }
  return -1;
}

// Peak resident set of a call, over what the process held before it. The
// kernel's high-water mark is reset first, so startup does not count.
class PeakMemory {
 public:
  PeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    before_ = statusKib("VmRSS");
  }
  long beforeKib() const { return before_; }
  long peakKib() const { return statusKib("VmHWM"); }
  long growthKib() const { return peakKib() - before_; }

 private:
  long before_;
};

struct Paths {
  explicit Paths(const std::string& dir)
      : base(dir),
        source(base / "source.db"),
        upload(base / "upload.csv"),
        root(base / "root"),
        stamp(base / "dataset.json") {}
  fs::path base, source, upload, root, stamp;
  fs::path dataFile(const char* name) const { return root / "http" / "data" / name; }
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void removeDatabase(const fs::path& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    fs::remove(path.string() + suffix);
  }
}

// The list as the export sees it, measured by walking a fresh fetch.
bool measureSourceList(const Paths& paths, dabbench::ListBytes* bytes) {
  dabplatform_set_database_path(paths.source.c_str());
  if (DAB_DBI_Connect() != 0) return false;
  int count = 0;
  auto* list = static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)));
  bool ok = DAB_DBI_GetContactsCount(&count, 0) == 0 && DAB_DBI_GetContactList(list, 0, 0) == 0;
  if (ok) *bytes = dabbench::measureList(list->contacts, count);
  DAB_DBI_Free_ContactList(list);
  return DAB_DBI_Disconnect() == 0 && ok;
}

int prepare(const Paths& paths, int contacts, uint64_t seed) {
  char stamp[160];
  snprintf(stamp, sizeof stamp, "\"contacts\": %d, \"seed\": %llu, \"dataset\": %d", contacts,
           static_cast<unsigned long long>(seed), dabbench::kDatasetVersion);
  std::string old = slurp(paths.stamp);
  if (old.find(stamp) != std::string::npos && fs::exists(paths.source) &&
      fs::exists(paths.dataFile("addressbook.txt"))) {
    fputs(old.c_str(), stdout);  // Same seed, same bytes: keep them.
    return 0;
  }
  fs::create_directories(paths.dataFile("").parent_path());
  removeDatabase(paths.source);
  auto start = Clock::now();
  dabbench::Dataset data = dabbench::generate(contacts, seed);
  std::string error;
  if (!dabbench::writeDatabase(data, paths.source.string(), &error)) {
    fprintf(stderr, "dab_bench: cannot write %s: %s\n", paths.source.c_str(), error.c_str());
    return 1;
  }
  std::string upload = dabbench::uploadFile(data);
  std::ofstream(paths.upload, std::ios::binary) << upload;
  fs::copy_file(paths.upload, paths.dataFile("addressbook.txt"),
                fs::copy_options::overwrite_existing);
  dabbench::ListBytes list;
  if (!measureSourceList(paths, &list)) {
    fprintf(stderr, "dab_bench: cannot read the list back: %s\n", dabplatform_database_error());
    return 1;
  }
  char line[512];
  snprintf(line, sizeof line,
           "{%s, \"groups\": %zu, \"memberships\": %zu, \"upload_bytes\": %zu,"
           " \"list_entries\": %zu, \"list_record_bytes\": %zu, \"list_text_bytes\": %zu,"
           " \"prepare_s\": %.3f}\n",
           stamp, data.groupCount, data.memberships, upload.size(), list.entries, list.records,
           list.texts, secondsSince(start));
  std::ofstream(paths.stamp) << line;
  fputs(line, stdout);
  return 0;
}

int runExport(const Paths& paths, bool legacy) {
  dabplatform_set_data_root(paths.root.c_str());
  dabplatform_set_database_path(paths.source.c_str());
  char comma[] = "Comma";
  PeakMemory memory;
  auto start = Clock::now();
  int ok = legacy ? LegacyAdressBookExport(comma, nullptr, nullptr, nullptr)
                  : AdressBookExport(comma, nullptr, nullptr);
  double seconds = secondsSince(start);
  const char* name = legacy ? "LegacyExportedAddressBook.csv" : "ExportedAddressBook.csv";
  std::error_code ignored;
  uintmax_t bytes = fs::file_size(paths.dataFile(name), ignored);
  printf(
      "{\"ok\": %d, \"call_s\": %.6f, \"rss_before_kib\": %ld, \"peak_kib\": %ld,"
      " \"growth_kib\": %ld, \"output_bytes\": %ju}\n",
      ok, seconds, memory.beforeKib(), memory.peakKib(), memory.growthKib(), bytes);
  return ok == 1 ? 0 : 1;
}

int runImport(const Paths& paths) {
  fs::path target = paths.base / "import.db";
  removeDatabase(target);
  dabplatform_set_data_root(paths.root.c_str());
  dabplatform_set_database_path(target.c_str());
  char comma[] = "Comma";
  ResultStatus result{-1, -1};
  PeakMemory memory;
  auto start = Clock::now();
  int ok = AddressBookImport(comma, nullptr, nullptr, &result);
  double seconds = secondsSince(start);
  printf(
      "{\"ok\": %d, \"call_s\": %.6f, \"created\": %d, \"refused\": %d,"
      " \"rss_before_kib\": %ld, \"peak_kib\": %ld, \"growth_kib\": %ld}\n",
      ok, seconds, result.successCount, result.failureCount, memory.beforeKib(), memory.peakKib(),
      memory.growthKib());
  return ok == 1 ? 0 : 1;
}

// One pass of the parser over FILE, as the import driver calls it.
int runParse(const char* path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path, "r"), fclose);
  if (!file) {
    perror(path);
    return 1;
  }
  auto import = std::make_unique<DABImport>();  // Not connected: the parser needs no database.
  auto params = std::make_unique<AbaPublicAddressParameters>();
  long fields = 0, records = 0;
  auto start = Clock::now();
  for (;;) {
    int state = import->import_address_book_parser(file.get(), ',', params.get());
    if (state == ABA_PARSE_END_OF_FIELD_STATE) {
      ++fields;
    } else if (state == ABA_PARSE_END_OF_RECORD_STATE) {
      ++fields;
      ++records;
    } else {
      break;
    }
  }
  double seconds = secondsSince(start);
  long bytes = ftell(file.get());
  printf(
      "{\"bytes\": %ld, \"fields\": %ld, \"records\": %ld, \"call_s\": %.6f,"
      " \"mb_per_s\": %.1f}\n",
      bytes, fields, records, seconds, bytes / seconds / 1e6);
  return 0;
}

int usage() {
  fputs(
      "usage: dab_bench prepare DIR [CONTACTS [SEED]] | export DIR | legacy DIR | import DIR |"
      " parse FILE\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string command = argv[1];
  try {
    Paths paths(argv[2]);
    if (command == "prepare") {
      int contacts = argc > 3 ? atoi(argv[3]) : dabbench::kDeviceLimit;
      uint64_t seed = argc > 4 ? strtoull(argv[4], nullptr, 10) : dabbench::kDefaultSeed;
      return prepare(paths, contacts, seed);
    }
    if (command == "export") return runExport(paths, false);
    if (command == "legacy") return runExport(paths, true);
    if (command == "import") return runImport(paths);
    if (command == "parse") return runParse(argv[2]);
  } catch (const std::exception& e) {
    fprintf(stderr, "dab_bench: %s\n", e.what());
    return 1;
  }
  return usage();
}
