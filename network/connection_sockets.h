#pragma once
// The sockets of the connections that libcurl opens, so that a kept-alive
// connection can be looked at before a request goes out on it. A server may
// send bytes after the reply it announced (a second reply, a stray line);
// libcurl would read them as the answer to the next request on that
// connection, and a page would show rows that belong to no page.

#include <set>

namespace veskor {

class ConnectionSockets {
 public:
  // `fd` is the socket of a new connection.
  void Opened(int fd) { fds_.insert(fd); }

  // Whether the connection between these two ends (as libcurl names them)
  // has bytes or its end waiting to be read: no request may go out on it.
  bool HasInputWaiting(const char* localIp, int localPort, const char* peerIp, int peerPort);

 private:
  // A socket that libcurl closed stays here until its number is looked at
  // again: the two ends of the connection are checked on every look, so a
  // number that the system gave to another socket never matches by mistake.
  std::set<int> fds_;
};

}  // namespace veskor
