// The console's worker threads: one per open connection, started when a
// connection finds none idle, up to a fixed number. A client that is slow to
// send its request keeps only its own thread waiting (until the connection's
// deadlines end it), so others are still answered at once.
#ifndef DABUTILS_TOOLS_DABTOOL_WEB_WORKERS_H_
#define DABUTILS_TOOLS_DABTOOL_WEB_WORKERS_H_

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dabtool {

class Workers : public httplib::TaskQueue {
 public:
  explicit Workers(size_t maxThreads) : maxThreads_(maxThreads) {}
  ~Workers() override { shutdown(); }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Runs `job` on an idle thread, a new one while fewer than maxThreads
  // run, or else on the first thread to finish its job.
  void enqueue(std::function<void()> job) override;
  // Runs the jobs already queued, then joins every thread.
  void shutdown() override;

 private:
  void work();

  const size_t maxThreads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;  // guarded by mutex_
  std::vector<std::thread> threads_;        // guarded by mutex_
  size_t idle_ = 0;                         // guarded by mutex_
  bool stopping_ = false;                   // guarded by mutex_
};

}  // namespace dabtool

#endif  // DABUTILS_TOOLS_DABTOOL_WEB_WORKERS_H_
