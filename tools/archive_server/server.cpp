#include "tools/archive_server/server.h"

#include <httplib.h>

#include <sys/socket.h>

#include <algorithm>
#include <cstdio>

#include "tools/archive_server/connection_threads.h"

namespace veskor::archive {
namespace {

// A guard against runaway clients, far above the hundreds of stalled
// connections a test suite may hold at once.
constexpr std::size_t kMaxConnectionThreads = 4096;
constexpr std::size_t kWriteChunk = 64 * 1024;
// How often a stalled reply looks whether its client is still there.
constexpr std::chrono::seconds kStallCheck{1};
// Before the last byte of a page that a stray reply follows.
constexpr std::chrono::milliseconds kStrayPause{20};
// A client walking a long search sends hundreds of requests on one
// connection; an idle one is let go after a while so that it does not keep
// its thread for ever.
constexpr std::size_t kKeepAliveRequests = 1000;
constexpr time_t kKeepAliveIdleSeconds = 5;
constexpr int kListenBacklog = 1024;

}  // namespace

ArchiveHttpServer::ArchiveHttpServer(const ArchiveSite& site, DeliverySettings settings)
    : site_(site), settings_(settings), server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new ConnectionThreads(kMaxConnectionThreads); };
  server_->set_keep_alive_max_count(kKeepAliveRequests);
  server_->set_keep_alive_timeout(kKeepAliveIdleSeconds);
  // Headers and body go out in separate writes; without this, Nagle's
  // algorithm holds the body back for a delayed ACK (~40 ms per page).
  server_->set_tcp_nodelay(true);
  // httplib's default also sets SO_REUSEPORT, which lets a second archive
  // bind the same port and silently share its requests with the first.
  server_->set_socket_options([this](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listeningSocket_ = sock;
  });
  server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    // The raw target, not httplib's decoded params: the query must be
    // decoded byte for byte, and "+" is not a space here.
    Deliver(std::make_shared<const Reply>(site_.Answer(request.target)), response);
  });
  if (settings_.verbose) {
    server_->set_logger([](const httplib::Request& request, const httplib::Response& response) {
      static std::mutex mutex;
      const std::lock_guard lock(mutex);
      std::fprintf(stderr, "%s %s -> %d\n", request.method.c_str(), request.target.c_str(),
                   response.status);
    });
  }
}

ArchiveHttpServer::~ArchiveHttpServer() { Stop(); }

int ArchiveHttpServer::Bind(const std::string& host, int port) {
  const int bound = port == 0 ? server_->bind_to_any_port(host)
                              : (server_->bind_to_port(host, port) ? port : -1);
  // httplib listens with a backlog of 5: a test opening a hundred
  // connections in a burst would see most of them wait a second or more for
  // a SYN retry. Listening again on the same socket only enlarges the queue.
  if (bound > 0 && listeningSocket_ >= 0) ::listen(listeningSocket_, kListenBacklog);
  return bound;
}

bool ArchiveHttpServer::Run() { return server_->listen_after_bind(); }

void ArchiveHttpServer::Stop() {
  {
    const std::lock_guard lock(stopMutex_);
    stopping_ = true;
  }
  stopWake_.notify_all();
  server_->stop();
}

bool ArchiveHttpServer::Wait(std::chrono::milliseconds duration) const {
  // A condition rather than short sleeps: hundreds of stalled replies may
  // wait at once, and each sleeping in steps would wake the machine up.
  std::unique_lock lock(stopMutex_);
  return !stopWake_.wait_for(lock, duration, [this] { return stopping_; });
}

void ArchiveHttpServer::Deliver(std::shared_ptr<const Reply> reply, httplib::Response& response) {
  if (reply->delay.count() > 0) Wait(reply->delay);
  response.status = reply->status;
  if (!reply->location.empty()) response.set_header("Location", reply->location);
  if (reply->ending == Reply::Ending::kComplete && reply->streamedSize == 0 &&
      reply->afterReply.empty()) {
    response.set_content(reply->body, reply->contentType.c_str());
    return;
  }
  // A provider that returns false makes httplib drop the connection, which
  // is how a promised Content-Length ends up short.
  const auto stallLimit = settings_.stallLimit;
  response.set_content_provider(
      static_cast<std::size_t>(reply->DeclaredLength()), reply->contentType.c_str(),
      [this, reply, stallLimit](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        const std::uint64_t limit = reply->ending == Reply::Ending::kComplete
                                        ? reply->DeclaredLength()
                                        : reply->sentBeforeEnding;
        if (offset < limit) {
          const auto take = static_cast<std::size_t>(
              std::min<std::uint64_t>({length, limit - offset, kWriteChunk}));
          std::string piece;
          piece.reserve(take);
          reply->AppendBody(offset, take, piece);
          if (reply->afterReply.empty() || offset + take < limit)
            return sink.write(piece.data(), piece.size());
          // The last byte goes out with the stray reply, after a pause in
          // which the client reads the rest. A client reads no further than
          // the length it was promised, so the stray reply is waiting on the
          // connection by the time the page is complete.
          if (!sink.write(piece.data(), piece.size() - 1) || !Wait(kStrayPause)) return false;
          const std::string last = piece.back() + reply->afterReply;
          return sink.write(last.data(), last.size());
        }
        if (reply->ending == Reply::Ending::kStall) {
          const auto deadline = std::chrono::steady_clock::now() + stallLimit;
          while (sink.is_writable()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !Wait(std::min<std::chrono::milliseconds>(kStallCheck, left))) {
              break;
            }
          }
        }
        return false;
      });
}

}  // namespace veskor::archive
