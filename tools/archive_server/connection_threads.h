#pragma once
// The task queue the HTTP server hands each accepted connection to: a
// connection gets an idle thread when there is one and a new thread when
// there is none, so a connection that stalls, sleeps or idles between
// requests never makes another connection wait for a thread. Threads are
// kept once made (a walk reuses them) and are joined by shutdown().
//
// The ceiling only guards the machine against a runaway client: reaching
// it queues new connections as a fixed pool would.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace veskor::archive {

class ConnectionThreads : public httplib::TaskQueue {
 public:
  explicit ConnectionThreads(std::size_t maxThreads);
  ~ConnectionThreads() override;

  void enqueue(std::function<void()> task) override;
  void shutdown() override;

 private:
  void Work();

  const std::size_t maxThreads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool shuttingDown_ = false;
};

}  // namespace veskor::archive
