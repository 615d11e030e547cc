#pragma once
// Puts an ArchiveSite on HTTP: every GET goes to the site, and its Reply is
// delivered as it says, delays, early closes, stalls and streamed bodies
// included. Each connection has a thread of its own for as long as it lasts
// (see connection_threads.h), so no number of slow, stalled or idle
// connections holds up the others.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
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
  mutable std::mutex stopMutex_;
  mutable std::condition_variable stopWake_;
  bool stopping_ = false;
  int listeningSocket_ = -1;
  std::unique_ptr<httplib::Server> server_;
};

}  // namespace veskor::archive
