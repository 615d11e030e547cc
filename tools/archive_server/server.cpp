#include "tools/archive_server/server.h"

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>

namespace veskor::archive {
namespace {

// Enough threads for the slow and stalled replies a test suite keeps open
// at once, with room left for ordinary requests.
constexpr std::size_t kThreadCount = 64;
constexpr std::size_t kWriteChunk = 64 * 1024;
constexpr std::chrono::milliseconds kWaitStep{20};

}  // namespace

ArchiveHttpServer::ArchiveHttpServer(const ArchiveSite& site, DeliverySettings settings)
    : site_(site), settings_(settings), server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kThreadCount); };
  // Headers and body go out in separate writes; without this, Nagle's
  // algorithm holds the body back for a delayed ACK (~40 ms per page).
  server_->set_tcp_nodelay(true);
  // httplib's default also sets SO_REUSEPORT, which lets a second archive
  // bind the same port and silently share its requests with the first.
  server_->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
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
  if (port == 0) return server_->bind_to_any_port(host);
  return server_->bind_to_port(host, port) ? port : -1;
}

bool ArchiveHttpServer::Run() { return server_->listen_after_bind(); }

void ArchiveHttpServer::Stop() {
  stopping_ = true;
  server_->stop();
}

bool ArchiveHttpServer::Wait(std::chrono::milliseconds duration) const {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  while (!stopping_) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return true;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kWaitStep, deadline - now));
  }
  return false;
}

void ArchiveHttpServer::Deliver(std::shared_ptr<const Reply> reply, httplib::Response& response) {
  if (reply->delay.count() > 0) Wait(reply->delay);
  response.status = reply->status;
  if (!reply->location.empty()) response.set_header("Location", reply->location);
  if (reply->ending == Reply::Ending::kComplete && reply->streamedSize == 0) {
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
          return sink.write(piece.data(), piece.size());
        }
        if (reply->ending == Reply::Ending::kStall) {
          const auto deadline = std::chrono::steady_clock::now() + stallLimit;
          while (std::chrono::steady_clock::now() < deadline && sink.is_writable() &&
                 Wait(std::chrono::milliseconds(100))) {
          }
        }
        return false;
      });
}

}  // namespace veskor::archive
