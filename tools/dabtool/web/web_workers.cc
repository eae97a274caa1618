#include "web_workers.h"

#include <utility>

namespace dabtool {

void Workers::enqueue(std::function<void()> job) {
  std::lock_guard<std::mutex> hold(mutex_);
  jobs_.push_back(std::move(job));
  if (idle_ >= jobs_.size() || threads_.size() >= maxThreads_) {
    wake_.notify_one();
    return;
  }
  threads_.emplace_back([this] { work(); });
}

void Workers::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

void Workers::work() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(hold, [this] { return stopping_ || !jobs_.empty(); });
    --idle_;
    if (jobs_.empty()) return;  // stopping, and nothing left to run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    hold.unlock();
    job();
    hold.lock();
  }
}

}  // namespace dabtool
