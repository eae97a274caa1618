// What the in-process benchmarks share: the prepared work directory and a
// contact list fetched from it.
#ifndef DABUTILS_BENCH_BENCH_ENV_H_
#define DABUTILS_BENCH_BENCH_ENV_H_

#include <cstdlib>
#include <string>

#include "contact_db.h"

namespace dabbench {

// The directory that `dab_bench prepare` filled; set by main().
std::string& workDir();
std::string sourceDatabase();  // workDir()/source.db
std::string uploadPath();      // workDir()/upload.csv

// The whole list of the source database, fetched on a connection that
// stays open while the object lives, as an export holds it.
class FetchedList {
 public:
  FetchedList();
  ~FetchedList();
  FetchedList(const FetchedList&) = delete;
  FetchedList& operator=(const FetchedList&) = delete;

  bool ok() const { return ok_; }
  int count() const { return count_; }
  DAB_DBI_ContactList_t* header() { return header_; }
  DAB_DBI_Contact_t* first() const { return first_; }
  void rewind() { header_->contacts = first_; }  // Undo a writer's walk.

 private:
  bool ok_ = false;
  int count_ = 0;
  DAB_DBI_ContactList_t* header_ = nullptr;  // Released through the database.
  DAB_DBI_Contact_t* first_ = nullptr;
};

}  // namespace dabbench

#endif  // DABUTILS_BENCH_BENCH_ENV_H_
