// delay_relay: a TCP relay on loopback that makes a local server look far
// away, for benchmarks of what the client does over a slow link.
//
//   delay_relay --target-port PORT [--port PORT] [--delay-ms 25] [--host 127.0.0.1]
//
// It listens on HOST:PORT (--port 0, the default, takes a free port), prints
// exactly one line on stdout, "listening on http://HOST:PORT", and forwards
// every connection to 127.0.0.1:TARGET_PORT. Every byte reaches the other
// side --delay-ms after it was read, in each direction, so a request and its
// reply take two delays more than without the relay. A new connection also
// waits one round trip (two delays) before its first byte leaves, as a TCP
// handshake would: the first request on a new connection costs four delays,
// the next ones on a kept connection two.
//
// Bytes keep their order. An end of stream (FIN) is passed on, delayed like
// the data before it, as a half-close; a connection is closed once both
// directions have ended. A reset or a failed write ends both directions at
// once. It serves until killed.
//
// Example, the bundled archive 25 ms away:
//   veskor-archive --port 8642 &
//   delay_relay --port 9642 --target-port 8642 --delay-ms 25 &
//   veskor-search --archive http://127.0.0.1:9642 ...

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadSize = 64 * 1024;
// A direction stops reading when this much waits to be written, so that a
// fast sender cannot fill the memory.
constexpr std::size_t kMaxQueued = 8 * 1024 * 1024;

struct Settings {
  std::string host = "127.0.0.1";
  int port = 0;
  int targetPort = 0;
  std::chrono::milliseconds delay{25};
};

struct Chunk {
  Clock::time_point due;
  std::string bytes;  // empty: the end of the stream
};

// One direction of a connection: a reader that stamps what it reads with the
// time it may leave, a writer that sends it then.
class DelayedDirection {
 public:
  DelayedDirection(int from, int to, Clock::time_point firstDeparture,
                   std::chrono::milliseconds delay)
      : from_(from), to_(to), firstDeparture_(firstDeparture), delay_(delay) {}

  void Read() {
    std::string buffer(kReadSize, '\0');
    for (;;) {
      const ssize_t got = recv(from_, buffer.data(), buffer.size(), 0);
      if (got < 0 && errno == EINTR) continue;
      const bool ended = got <= 0;
      if (got < 0) failed_ = true;
      std::unique_lock lock(mutex_);
      roomLeft_.wait(lock, [this] { return queued_ < kMaxQueued || writerGone_; });
      if (writerGone_) return;
      queue_.push_back({std::max(Clock::now(), firstDeparture_) + delay_,
                        ended ? std::string() : buffer.substr(0, static_cast<std::size_t>(got))});
      queued_ += queue_.back().bytes.size();
      dataReady_.notify_one();
      if (ended) return;
    }
  }

  // Returns false when the connection broke rather than ended.
  bool Write() {
    for (;;) {
      Chunk chunk;
      {
        std::unique_lock lock(mutex_);
        dataReady_.wait(lock, [this] { return !queue_.empty(); });
        const Clock::time_point due = queue_.front().due;
        // Later chunks are due later, so waiting for the front is enough.
        while (Clock::now() < due) dataReady_.wait_until(lock, due);
        chunk = std::move(queue_.front());
        queue_.pop_front();
        queued_ -= chunk.bytes.size();
        roomLeft_.notify_one();
      }
      if (chunk.bytes.empty()) {
        if (failed_) return Stop();
        shutdown(to_, SHUT_WR);
        return true;
      }
      for (std::size_t sent = 0; sent < chunk.bytes.size();) {
        const ssize_t put =
            send(to_, chunk.bytes.data() + sent, chunk.bytes.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return Stop();
        sent += static_cast<std::size_t>(put);
      }
    }
  }

 private:
  bool Stop() {
    {
      const std::lock_guard lock(mutex_);
      writerGone_ = true;
    }
    roomLeft_.notify_all();
    // Wakes every blocked read on both sockets, so that the other direction
    // ends too.
    shutdown(from_, SHUT_RDWR);
    shutdown(to_, SHUT_RDWR);
    return false;
  }

  const int from_;
  const int to_;
  const Clock::time_point firstDeparture_;
  const std::chrono::milliseconds delay_;
  std::mutex mutex_;
  std::condition_variable dataReady_;
  std::condition_variable roomLeft_;
  std::deque<Chunk> queue_;
  std::size_t queued_ = 0;
  bool writerGone_ = false;
  std::atomic<bool> failed_{false};
};

// Both directions of one relayed connection; the sockets close when the
// last of its four threads lets go of it.
struct RelayedConnection {
  RelayedConnection(int client, int target, std::chrono::milliseconds delay)
      : client(client),
        target(target),
        up(client, target, Clock::now() + 2 * delay, delay),
        down(target, client, Clock::now() + 2 * delay, delay) {}
  ~RelayedConnection() {
    close(client);
    close(target);
  }
  const int client;
  const int target;
  DelayedDirection up;
  DelayedDirection down;
};

void Relay(int client, const Settings& settings) {
  const int target = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(settings.targetPort));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (target < 0 ||
      connect(target, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::fprintf(stderr, "delay_relay: cannot reach port %d: %s\n", settings.targetPort,
                 std::strerror(errno));
    if (target >= 0) close(target);
    close(client);
    return;
  }
  // The delays are ours to add: the kernel must not hold small writes back.
  int yes = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  setsockopt(target, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  auto connection = std::make_shared<RelayedConnection>(client, target, settings.delay);
  std::thread([connection] { connection->up.Read(); }).detach();
  std::thread([connection] { connection->up.Write(); }).detach();
  std::thread([connection] { connection->down.Read(); }).detach();
  std::thread([connection] { connection->down.Write(); }).detach();
}

bool ReadNumber(const char* text, int& value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < 0 || number > 3600000) return false;
  value = static_cast<int>(number);
  return true;
}

bool ParseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    int number = 0;
    if (name == "--host") {
      settings.host = argv[i + 1];
    } else if (name == "--port" && ReadNumber(argv[i + 1], number) && number <= 65535) {
      settings.port = number;
    } else if (name == "--target-port" && ReadNumber(argv[i + 1], number) && number > 0 &&
               number <= 65535) {
      settings.targetPort = number;
    } else if (name == "--delay-ms" && ReadNumber(argv[i + 1], number)) {
      settings.delay = std::chrono::milliseconds(number);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && settings.targetPort > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: delay_relay --target-port PORT [--port PORT] [--delay-ms 25] "
                 "[--host 127.0.0.1]\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);

  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(settings.port));
  if (inet_pton(AF_INET, settings.host.c_str(), &address.sin_addr) != 1 ||
      bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 128) != 0) {
    std::fprintf(stderr, "delay_relay: cannot listen on %s:%d: %s\n", settings.host.c_str(),
                 settings.port, std::strerror(errno));
    return 1;
  }
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::printf("listening on http://%s:%d\n", settings.host.c_str(), ntohs(address.sin_port));
  std::fflush(stdout);

  for (;;) {
    const int client = accept(listener, nullptr, nullptr);
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::fprintf(stderr, "delay_relay: accept: %s\n", std::strerror(errno));
      return 1;
    }
    Relay(client, settings);
  }
}
