#pragma once
// Several GETs in flight at once, for walks that run side by side. The caller
// stays on one thread and stays synchronous: it starts requests, then blocks
// in WaitForAny while the implementation moves every transfer on. Under the
// window that wait is a nested event loop, so the stop command still reaches a
// running search; under the command line it is a poll() loop.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/errors.h"

namespace veskor {

// The archive is somebody else's server: a search keeps at most this many
// connections to it unless the user's setting says otherwise.
inline constexpr std::size_t kDefaultConnectionLimit = 4;

using RequestId = std::uint64_t;

struct FetchCompletion {
  RequestId id = 0;
  std::string body;                 // the whole reply body, when `error` is empty
  std::optional<FetchError> error;  // what PageFetcher::Get would have thrown
};

class ConcurrentFetcher {
 public:
  virtual ~ConcurrentFetcher() = default;

  // Most requests in flight at once (started, neither returned by WaitForAny
  // nor cancelled); at least 1. Callers never start more; an implementation
  // may refuse (throw) a Start beyond it.
  virtual std::size_t ConnectionLimit() const = 0;

  // Starts a GET of `url` and returns at once with an id never given before.
  // A bad address or an unreachable server is not thrown here: it comes back
  // as that request's completion, so that the caller can report it in its
  // own order.
  virtual RequestId Start(const std::string& url) = 0;

  // Abandons a request started and not yet returned: WaitForAny never returns
  // it, and its connection slot is free again. An id that is unknown or was
  // already returned is ignored. Never throws.
  virtual void Cancel(RequestId id) noexcept = 0;

  // Blocks until one started request has completed and returns it; each
  // request is returned once. Called only while at least one request is in
  // flight. Throws FetchError for a failure that is no single request's own,
  // such as the application shutting down; the caller then cancels what it
  // still has in flight.
  virtual FetchCompletion WaitForAny() = 0;
};

}  // namespace veskor
