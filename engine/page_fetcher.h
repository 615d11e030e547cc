#pragma once
// How the engine reaches the network and the console: through these two small
// interfaces, so that it runs the same under the window, the command line and
// the tests.

#include <string>
#include <string_view>

namespace veskor {

class PageFetcher {
 public:
  virtual ~PageFetcher() = default;
  // Returns the whole body of the reply to a GET of `url`, or throws FetchError
  // with a French message naming the address. Each call is a request of its own:
  // no cookie or cached body survives from one call to the next.
  virtual std::string Get(const std::string& url) = 0;
};

class ConsoleSink {
 public:
  virtual ~ConsoleSink() = default;
  virtual void AddLine(std::string_view line) = 0;
};

}  // namespace veskor
