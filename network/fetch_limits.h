#pragma once
// The limits every page fetch runs under. Settable so that tests can use
// short ones; the program keeps the defaults.

#include <chrono>
#include <cstdint>

namespace veskor {

struct FetchLimits {
  // A transfer that receives nothing for this long fails: no connection
  // made, no reply begun, or a reply that stops coming.
  std::chrono::milliseconds stallTimeout{30'000};
  // A body larger than this fails as soon as the excess arrives.
  std::int64_t maxBodyBytes = std::int64_t{64} << 20;
  // The header lines of one reply; a server that never ends them fails here.
  std::int64_t maxHeaderBytes = std::int64_t{64} << 10;
  int maxRedirects = 5;
  // Connections open at once to all servers together, for transfers run side
  // by side; a lone Get needs one.
  int maxConnections = 4;
};

}  // namespace veskor
