#pragma once
// An httplib server on a free loopback port, serving from its own thread for
// the lifetime of the object.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace veskor::test {

class LoopbackServer {
 public:
  LoopbackServer() = default;
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer() { Stop(); }

  // Routes are added before Start.
  httplib::Server& Routes() { return server_; }

  void Start() {
    // Headers and body reach the client together, not a delayed ACK apart.
    server_.set_tcp_nodelay(true);
    // The socket listens from here on: a request made before the thread
    // reaches its accept loop simply waits in the backlog.
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }

  void Stop() {
    released_ = true;
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }

  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
  }

  // For handlers that must hang: sleeps until the server stops or `limit` ends.
  void HoldUntilReleased(std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!released_ && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> released_{false};
};

}  // namespace veskor::test
