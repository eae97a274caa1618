// In-process benchmarks over a prepared work directory: the import parser
// next to libcsv on the same bytes, and the two export writers over an
// in-memory list. The stand-in database's own cases are in
// contact_db_bench.cc.
//
//   micro_bench DIR [--threaded-host] [--benchmark_* flags]
//
// --threaded-host starts and joins one thread first. The web server that
// hosts the library has many, and from the first thread on the C library
// locks every stream call; a single-threaded benchmark would not see that.
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <thread>

#include "DABExport.h"
#include "DABImport.h"
#include "bench_env.h"
#include "benchmark/benchmark.h"
#include "dabplatform.h"
#ifdef DAB_BENCH_HAVE_LIBCSV
#include "libcsv_peer.h"
#endif

namespace dabbench {

std::string& workDir() {
  static std::string dir;
  return dir;
}
std::string sourceDatabase() { return workDir() + "/source.db"; }
std::string uploadPath() { return workDir() + "/upload.csv"; }

FetchedList::FetchedList() {
  dabplatform_set_database_path(sourceDatabase().c_str());
  if (DAB_DBI_Connect() != 0) return;
  header_ = static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)));
  ok_ = header_ != nullptr && DAB_DBI_GetContactsCount(&count_, 0) == 0 &&
        DAB_DBI_GetContactList(header_, 0, 0) == 0;
  if (ok_) first_ = header_->contacts;
}

FetchedList::~FetchedList() {
  if (header_ != nullptr) DAB_DBI_Free_ContactList(header_);
  DAB_DBI_Disconnect();
}

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File openFile(const std::string& path, const char* mode) {
  return File(fopen(path.c_str(), mode), fclose);
}

long fileSize(FILE* file) {
  fseek(file, 0, SEEK_END);
  long size = ftell(file);
  rewind(file);
  return size;
}

void ImportParser(benchmark::State& state) {
  File file = openFile(uploadPath(), "r");
  if (!file) return state.SkipWithError("no upload file; run dab_bench prepare");
  long bytes = fileSize(file.get());
  auto import = std::make_unique<DABImport>();
  auto params = std::make_unique<AbaPublicAddressParameters>();
  long fields = 0;
  for (auto _ : state) {
    rewind(file.get());
    fields = 0;
    for (;;) {
      int result = import->import_address_book_parser(file.get(), ',', params.get());
      if (result != ABA_PARSE_END_OF_FIELD_STATE && result != ABA_PARSE_END_OF_RECORD_STATE) break;
      ++fields;
    }
    benchmark::DoNotOptimize(fields);
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["fields"] = static_cast<double>(fields);
}
BENCHMARK(ImportParser)->Unit(benchmark::kMillisecond);

#ifdef DAB_BENCH_HAVE_LIBCSV
void LibcsvParser(benchmark::State& state) {
  File file = openFile(uploadPath(), "r");
  if (!file) return state.SkipWithError("no upload file; run dab_bench prepare");
  long bytes = fileSize(file.get());
  LibcsvCounts counts{};
  for (auto _ : state) {
    rewind(file.get());
    if (libcsv_count(file.get(), ',', &counts) != 0) return state.SkipWithError("libcsv failed");
    benchmark::DoNotOptimize(counts.fields);
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["fields"] = static_cast<double>(counts.fields);
}
BENCHMARK(LibcsvParser)->Unit(benchmark::kMillisecond);
#endif

using Writer = void (DABExport::*)(FILE*, char, int, DAB_DBI_ContactList_t*);

// One writer over the whole list into /dev/null; the bytes are counted once
// in memory first.
void RunWriter(benchmark::State& state, Writer writer) {
  FetchedList list;
  if (!list.ok()) return state.SkipWithError("cannot fetch the list; run dab_bench prepare");
  DABExport exporter;  // Shares the list's connection, so MemberOf is answered.
  exporter.dbStatus = 0;
  char* text = nullptr;
  size_t bytes = 0;
  FILE* memory = open_memstream(&text, &bytes);
  (exporter.*writer)(memory, ',', list.count(), list.header());
  fclose(memory);
  free(text);
  list.rewind();
  File sink = openFile("/dev/null", "w");
  for (auto _ : state) {
    (exporter.*writer)(sink.get(), ',', list.count(), list.header());
    fflush(sink.get());
    list.rewind();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
  state.counters["rows"] = list.count();
}

void DabWriter(benchmark::State& state) { RunWriter(state, &DABExport::writeToExportFile); }
BENCHMARK(DabWriter)->Unit(benchmark::kMillisecond);

void LegacyWriter(benchmark::State& state) {
  RunWriter(state, &DABExport::writeToLegacyExportFile);
}
BENCHMARK(LegacyWriter)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dabbench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* dir = nullptr;
  bool threaded = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--threaded-host") == 0) {
      threaded = true;
    } else if (dir == nullptr) {
      dir = argv[i];
    }
  }
  if (dir == nullptr) {
    fputs("usage: micro_bench DIR [--threaded-host] [--benchmark_* flags]\n", stderr);
    return 2;
  }
  dabbench::workDir() = dir;
  dabplatform_set_data_root(dir);
  dabplatform_set_database_path(dabbench::sourceDatabase().c_str());
  if (threaded) std::thread([] {}).join();
  benchmark::AddCustomContext("host", threaded ? "threaded" : "single thread");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
