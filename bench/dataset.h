// The benchmark's address book: a seeded, reproducible set of contacts at the
// device limit, written into the stand-in database through the same calls the
// device's own tools use, and the matching upload file for the import.
#ifndef DABUTILS_BENCH_DATASET_H_
#define DABUTILS_BENCH_DATASET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "contact_db.h"
#include "contact_record.h"

namespace dabbench {

constexpr int kDeviceLimit = 65000;
constexpr uint64_t kDefaultSeed = 20240501;
// Raised whenever the prepared files change for a given seed (what
// generate() gives, or how the stand-in stores it), so that an older work
// directory is prepared again.
constexpr int kDatasetVersion = 2;

// One entry as plain values; groups fill every field too, as a device that
// keeps a distribution list's own address would.
struct Entry : dabtest::ContactValues {
  std::vector<int> groups;  // Indexes into the dataset of the groups it belongs to.
};

struct Dataset {
  std::vector<Entry> entries;  // Groups first, so that members can name them.
  size_t groupCount = 0;
  size_t memberships = 0;
};

// `total` entries: a few hundred groups of every kind, the rest individuals;
// a third of the individuals belong to one to five groups. The same seed
// gives the same bytes on every machine.
Dataset generate(int total, uint64_t seed);

// Creates every entry and membership in the database at `databasePath`,
// which must not exist yet. Returns false with a message on failure.
bool writeDatabase(const Dataset& data, const std::string& databasePath, std::string* error);

// The upload file: a header row and one row per entry in the import's six
// columns (first name, last name, display name, company, e-mail, internet
// fax), quoted where a value needs it, lines ended by CR LF.
std::string uploadFile(const Dataset& data);

// What a fetched list holds, counted once per distinct record and string:
// the bytes of the records (entries and sub-records) and of the texts with
// their NULs.
struct ListBytes {
  size_t entries = 0;
  size_t records = 0;
  size_t texts = 0;
  size_t total() const { return records + texts; }
};
ListBytes measureList(const DAB_DBI_Contact_t* first, int count);

}  // namespace dabbench

#endif  // DABUTILS_BENCH_DATASET_H_
