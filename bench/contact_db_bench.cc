// The SQLite contact database stand-in alone, at the device limit: creating
// the whole seeded address book (contacts and memberships, as the import and
// the device's tools do), fetching the list, and answering every contact's
// group ids as the DAB export asks for them.
#include <filesystem>
#include <string>

#include "bench_env.h"
#include "benchmark/benchmark.h"
#include "contact_db.h"
#include "dabplatform.h"
#include "dataset.h"

namespace dabbench {
namespace {

void StandinCreateAddressBook(benchmark::State& state) {
  Dataset data = generate(kDeviceLimit, kDefaultSeed);
  std::string path = workDir() + "/standin-create.db";
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    state.ResumeTiming();
    std::string error;
    if (!writeDatabase(data, path, &error)) return state.SkipWithError(error.c_str());
  }
  dabplatform_set_database_path(sourceDatabase().c_str());
  state.counters["contacts"] = static_cast<double>(data.entries.size());
  state.counters["memberships"] = static_cast<double>(data.memberships);
}
BENCHMARK(StandinCreateAddressBook)->Unit(benchmark::kMillisecond)->Iterations(1);

void StandinFetchList(benchmark::State& state) {
  dabplatform_set_database_path(sourceDatabase().c_str());
  if (DAB_DBI_Connect() != 0) return state.SkipWithError(dabplatform_database_error());
  int count = 0;
  for (auto _ : state) {
    auto* list = static_cast<DAB_DBI_ContactList_t*>(calloc(1, sizeof(DAB_DBI_ContactList_t)));
    count = 0;
    bool ok = DAB_DBI_GetContactsCount(&count, 0) == 0 && DAB_DBI_GetContactList(list, 0, 0) == 0;
    DAB_DBI_Free_ContactList(list);
    if (!ok) {
      state.SkipWithError(dabplatform_database_error());
      break;
    }
  }
  DAB_DBI_Disconnect();
  state.counters["contacts"] = count;
}
BENCHMARK(StandinFetchList)->Unit(benchmark::kMillisecond);

void StandinGroupIds(benchmark::State& state) {
  FetchedList list;
  if (!list.ok()) return state.SkipWithError("cannot fetch the list; run dab_bench prepare");
  DAB_DBI_GroupIds_t ids{};
  long memberships = 0;
  for (auto _ : state) {
    memberships = 0;
    for (int i = 0; i < list.count(); ++i) {
      if (DAB_DBI_GetAllGroupIds(&ids, list.first()[i].id, 1) != 0) {
        return state.SkipWithError(dabplatform_database_error());
      }
      memberships += ids.count;
    }
    benchmark::DoNotOptimize(memberships);
  }
  state.counters["memberships"] = static_cast<double>(memberships);
}
BENCHMARK(StandinGroupIds)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dabbench
