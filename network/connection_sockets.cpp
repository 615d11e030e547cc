#include "network/connection_sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace veskor {
namespace {

using AddressOf = int (*)(int, sockaddr*, socklen_t*);

enum class Match { kYes, kNo, kNotASocket };

// Whether the address that `addressOf` gives for `fd` is `ip` port `port`.
Match EndIs(int fd, AddressOf addressOf, const char* ip, int port) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (addressOf(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return errno == EBADF || errno == ENOTSOCK ? Match::kNotASocket : Match::kNo;
  char text[INET6_ADDRSTRLEN] = {};
  int actualPort = 0;
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    actualPort = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    actualPort = ntohs(v6.sin6_port);
  } else {
    return Match::kNo;
  }
  return actualPort == port && std::strcmp(text, ip) == 0 ? Match::kYes : Match::kNo;
}

}  // namespace

bool ConnectionSockets::HasInputWaiting(const char* localIp, int localPort, const char* peerIp,
                                        int peerPort) {
  for (auto it = fds_.begin(); it != fds_.end();) {
    const int fd = *it;
    const Match local = EndIs(fd, &getsockname, localIp, localPort);
    if (local == Match::kNotASocket) {
      it = fds_.erase(it);
      continue;
    }
    ++it;
    if (local == Match::kNo || EndIs(fd, &getpeername, peerIp, peerPort) != Match::kYes) continue;
    char byte;
    const ssize_t n = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    // Only "nothing to read yet" leaves the connection fit: bytes, the
    // server's close and a reset all mean the next reply would not be ours.
    return !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
  }
  return false;
}

}  // namespace veskor
