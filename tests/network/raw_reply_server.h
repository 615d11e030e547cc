#pragma once
// A loopback server that answers each request with whatever bytes the test
// writes to the socket: replies that no HTTP library would send (no HTTP at
// all, headers without end, a second reply after the first). Connections are
// kept alive until the client closes them or an answer says so.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace veskor::test {

class RawReplyServer {
 public:
  // Writes the reply to `fd`; returns false to close the connection.
  using Answer = std::function<bool(int fd)>;

  // `answers` by request target; any other target gets a 404.
  explicit RawReplyServer(std::map<std::string, Answer> answers) : answers_(std::move(answers)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 16);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }

  ~RawReplyServer() {
    stopping_ = true;
    shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    {
      std::lock_guard lock(mutex_);
      for (const int fd : clients_) shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : connections_) t.join();
    for (const int fd : clients_) close(fd);
    close(listener_);
  }

  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
  }

  static bool Send(int fd, std::string_view bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }

 private:
  void Accept() {
    for (;;) {
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0 || stopping_) {
        if (fd >= 0) close(fd);
        return;
      }
      std::lock_guard lock(mutex_);
      clients_.push_back(fd);
      connections_.emplace_back([this, fd] { Serve(fd); });
    }
  }

  void Serve(int fd) {
    std::string pending;
    for (;;) {
      std::size_t end;
      while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(n));
      }
      const std::string request = pending.substr(0, end);
      pending.erase(0, end + 4);
      const std::size_t from = request.find(' ') + 1;
      const std::string target = request.substr(from, request.find(' ', from) - from);
      const auto found = answers_.find(target);
      if (found == answers_.end()) {
        Send(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
      } else if (!found->second(fd)) {
        shutdown(fd, SHUT_RDWR);
        return;
      }
    }
  }

  std::map<std::string, Answer> answers_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> clients_;  // closed when the server ends, never before
  std::vector<std::thread> connections_;
};

}  // namespace veskor::test
