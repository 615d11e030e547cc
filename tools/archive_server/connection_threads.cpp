#include "tools/archive_server/connection_threads.h"

#include <system_error>

namespace veskor::archive {

ConnectionThreads::ConnectionThreads(std::size_t maxThreads) : maxThreads_(maxThreads) {}

ConnectionThreads::~ConnectionThreads() { shutdown(); }

void ConnectionThreads::enqueue(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    if (shuttingDown_) return;
    tasks_.push_back(std::move(task));
    if (tasks_.size() > idle_ && threads_.size() < maxThreads_) {
      try {
        threads_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        // Out of threads for now: the task waits for a busy thread to end
        // its connection, as with a fixed pool.
      }
    }
  }
  wake_.notify_one();
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> threads;
  {
    const std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

void ConnectionThreads::Work() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      ++idle_;
      wake_.wait(lock, [this] { return !tasks_.empty() || shuttingDown_; });
      --idle_;
      // Connections already accepted are still served before the end.
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace veskor::archive
