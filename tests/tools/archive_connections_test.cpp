// How veskor-archive treats its connections: many that stall or idle at
// once, and one that a client keeps for a long walk.

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/archive_server_process.h"

namespace veskor::archive {
namespace {

using Clock = std::chrono::steady_clock;

// A raw connection to the server, closed when the object goes.
class RawConnection {
 public:
  explicit RawConnection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 &&
                 connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() {
    if (fd_ >= 0) close(fd_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Send(const std::string& target) {
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    return connected_ && send(fd_, request.data(), request.size(), MSG_NOSIGNAL) ==
                             static_cast<ssize_t>(request.size());
  }
  // True once some of the reply has come, waiting up to `timeout`.
  bool ReplyStarted(std::chrono::milliseconds timeout) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) != 1) return false;
    char byte;
    return recv(fd_, &byte, 1, MSG_PEEK) == 1;
  }

 private:
  int fd_;
  bool connected_ = false;
};

std::string ResultsTarget(const std::string& gid) {
  return "/articles.pl?search=fichier&gid=" + gid + "&search=rechercher&thumb=";
}

// A lookup must not wait for a worker while other clients hold theirs:
// stalled replies (part of a page, then silence), slow replies and idle
// keep-alive connections, more of each kind than a fixed pool of 64 has
// threads.
TEST(ArchiveConnectionsTest, LookupAnswersWhileManyConnectionsStallOrIdle) {
  ArchiveServerProcess server(VESKOR_ARCHIVE_BIN, {"--stall-s", "60", "--slow-ms", "60000"});
  ASSERT_TRUE(server.Started()) << server.Error();

  constexpr int kStalled = 80;
  constexpr int kSlow = 40;
  constexpr int kIdle = 40;
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < kStalled + kSlow + kIdle; ++i) {
    held.push_back(std::make_unique<RawConnection>(server.Port()));
    if (i < kStalled) {
      ASSERT_TRUE(held.back()->Send(ResultsTarget("fault-stall"))) << i;
    } else if (i < kStalled + kSlow) {
      ASSERT_TRUE(held.back()->Send(ResultsTarget("fault-slow"))) << i;
    }
  }
  // Each stalled reply has begun, so each holds its connection's thread.
  int started = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  for (int i = 0; i < kStalled; ++i) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (held[i]->ReplyStarted(std::max(left, std::chrono::milliseconds(0)))) ++started;
  }
  EXPECT_EQ(started, kStalled);

  httplib::Client client(server.Url());
  client.set_read_timeout(5, 0);
  const auto start = Clock::now();
  const auto res = client.Get("/part2.pl?name=fr.rec.photo");
  const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  ASSERT_TRUE(res) << "no answer within 5 s: " << httplib::to_string(res.error());
  EXPECT_NE(res->body.find("ok=512'"), std::string::npos);
  std::cout << "lookup latency with " << held.size()
            << " connections held: " << latency.count() << " us\n";
  RecordProperty("lookup_latency_us", std::to_string(latency.count()));
}

// A client walking a long search keeps one connection from page to page.
TEST(ArchiveConnectionsTest, KeepsOneConnectionForAWalk) {
  ArchiveServerProcess server(VESKOR_ARCHIVE_BIN);
  ASSERT_TRUE(server.Started()) << server.Error();
  httplib::Client client(server.Url());
  client.set_keep_alive(true);
  int sockets = 0;
  client.set_socket_options([&sockets](socket_t) { ++sockets; });
  for (int page = 1; page <= 30; ++page) {
    const auto res = client.Get("/articles.pl?gid=512&page=" + std::to_string(page % 5 + 1) +
                                "&search=jpg&thumb=");
    ASSERT_TRUE(res) << page;
    ASSERT_EQ(res->status, 200);
  }
  EXPECT_EQ(sockets, 1);
}

}  // namespace
}  // namespace veskor::archive
