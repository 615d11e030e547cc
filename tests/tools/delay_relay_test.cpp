// bench/delay_relay between an HTTP client and the bundled archive: the
// bytes and the closes arrive as sent, only later.

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/archive_server_process.h"

namespace veskor {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kDelay{30};

class DelayRelayTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    archive_ = std::make_unique<ArchiveServerProcess>(VESKOR_ARCHIVE_BIN);
    if (!archive_->Started()) return;
    relay_ = std::make_unique<ArchiveServerProcess>(
        VESKOR_DELAY_RELAY_BIN,
        std::vector<std::string>{"--target-port", std::to_string(archive_->Port()), "--delay-ms",
                                 std::to_string(kDelay.count())});
  }
  static void TearDownTestSuite() {
    relay_.reset();
    archive_.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(archive_->Started()) << archive_->Error();
    ASSERT_TRUE(relay_ && relay_->Started()) << (relay_ ? relay_->Error() : "");
  }

  static std::unique_ptr<ArchiveServerProcess> archive_;
  static std::unique_ptr<ArchiveServerProcess> relay_;
};

std::unique_ptr<ArchiveServerProcess> DelayRelayTest::archive_;
std::unique_ptr<ArchiveServerProcess> DelayRelayTest::relay_;

struct Fetched {
  httplib::Error error;
  int status;
  std::string body;
};

Fetched Fetch(httplib::Client& client, const std::string& target) {
  std::string body;
  const auto res = client.Get(target, [&body](const char* data, std::size_t length) {
    body.append(data, length);
    return true;
  });
  return {res.error(), res ? res->status : 0, body};
}

std::unique_ptr<httplib::Client> Client(const std::string& url) {
  auto client = std::make_unique<httplib::Client>(url);
  client->set_url_encode(false);
  client->set_read_timeout(10, 0);
  return client;
}

class RelayedReplyTest : public DelayRelayTest, public testing::WithParamInterface<const char*> {};

// The same reply through the relay as straight from the server, cut short
// where the server cuts it.
TEST_P(RelayedReplyTest, EqualsTheDirectReply) {
  const Fetched direct = Fetch(*Client(archive_->Url()), GetParam());
  const Fetched relayed = Fetch(*Client(relay_->Url()), GetParam());
  EXPECT_EQ(relayed.error, direct.error);
  EXPECT_EQ(relayed.status, direct.status);
  EXPECT_TRUE(relayed.body == direct.body) << relayed.body.size() << " bytes, not "
                                           << direct.body.size();
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RelayedReplyTest,
    testing::Values("/articles.pl?search=jpg&gid=512&search=rechercher&thumb=",
                    "/part2.pl?name=fr.rec.photo", "/nowhere",
                    // the server closes after part of the page
                    "/articles.pl?search=fichier&gid=fault-reset&search=rechercher&thumb=",
                    // 80 MiB: more than the relay queues before it stops reading
                    "/articles.pl?search=fichier&gid=fault-huge&search=rechercher&thumb="));

// A new connection waits for its handshake (one round trip), then the
// request and the reply each take one delay; a kept connection only the two.
TEST_F(DelayRelayTest, RoundTripsTakeTheirDelays) {
  auto client = Client(relay_->Url());
  client->set_keep_alive(true);
  auto start = Clock::now();
  ASSERT_TRUE(client->Get("/part2.pl?name=fr.rec.photo"));
  EXPECT_GE(Clock::now() - start, 4 * kDelay);
  start = Clock::now();
  ASSERT_TRUE(client->Get("/part2.pl?name=fr.rec.moto"));
  EXPECT_GE(Clock::now() - start, 2 * kDelay);
}

int ConnectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  return fd;
}

// Reads until the end of the stream; false on a timeout or an error.
bool ReadToEnd(int fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got == 0) return true;
    if (got < 0) return false;
    into.append(buffer, static_cast<std::size_t>(got));
  }
}

// A server that answers only once the client has stopped sending: the
// relay must pass the client's half-close on, keep the way back open, and
// pass the server's close on after the reply.
TEST(DelayRelayHalfCloseTest, ReplyAfterTheClientsEndStillArrives) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::thread server([listener] {
    const int fd = accept(listener, nullptr, nullptr);
    std::string request;
    const bool ended = ReadToEnd(fd, request);
    const std::string reply = (ended ? "got: " : "no end: ") + request;
    send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    close(fd);
  });

  ArchiveServerProcess relay(VESKOR_DELAY_RELAY_BIN,
                             {"--target-port", std::to_string(ntohs(address.sin_port)),
                              "--delay-ms", std::to_string(kDelay.count())});
  ASSERT_TRUE(relay.Started()) << relay.Error();
  const int fd = ConnectTo(relay.Port());
  ASSERT_GE(fd, 0);
  const std::string request(100000, 'r');  // more than one read of the relay
  ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  shutdown(fd, SHUT_WR);
  std::string reply;
  EXPECT_TRUE(ReadToEnd(fd, reply));  // an orderly end, not a timeout
  close(fd);
  server.join();
  close(listener);
  EXPECT_TRUE(reply == "got: " + request) << reply.substr(0, 20) << "... " << reply.size();
}

}  // namespace
}  // namespace veskor
