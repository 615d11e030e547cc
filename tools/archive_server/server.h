#pragma once
// Puts an ArchiveSite on HTTP: every GET goes to the site, and its Reply is
// delivered as it says, delays, early closes, stalls and streamed bodies
// included. Each connection has a thread of its own from a large pool, so a
// slow or stalled reply never holds up the others.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "tools/archive_server/site.h"

namespace httplib {
class Server;
struct Response;
}  // namespace httplib

namespace veskor::archive {

struct DeliverySettings {
  std::chrono::seconds stallLimit{120};  // a stalled reply gives up then
  bool verbose = false;                  // one line per request on stderr
};

class ArchiveHttpServer {
 public:
  ArchiveHttpServer(const ArchiveSite& site, DeliverySettings settings);
  ~ArchiveHttpServer();
  ArchiveHttpServer(const ArchiveHttpServer&) = delete;
  ArchiveHttpServer& operator=(const ArchiveHttpServer&) = delete;

  // The port listened on (a free one when `port` is 0), or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop(); false when it could not.
  bool Run();
  // Ends Run() and cuts short every pending delay and stall.
  void Stop();

 private:
  void Deliver(std::shared_ptr<const Reply> reply, httplib::Response& response);
  // Sleeps up to `duration`; false when the server is stopping.
  bool Wait(std::chrono::milliseconds duration) const;

  const ArchiveSite& site_;
  DeliverySettings settings_;
  std::atomic<bool> stopping_{false};
  std::unique_ptr<httplib::Server> server_;
};

}  // namespace veskor::archive
