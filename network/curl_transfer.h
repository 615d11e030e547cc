#pragma once
// One GET on a libcurl easy handle: the options every page fetch shares, the
// body gathered up to its size limit, and the verdict once it has ended.

#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "network/fetch_limits.h"

namespace veskor {

class CurlTransfer {
 public:
  // Sets up `easy` (reset first, so a handle can serve one GET after another)
  // for a GET of `url`. `noProxy` is the list of hosts reached directly.
  CurlTransfer(CURL* easy, const std::string& url, const FetchLimits& limits,
               const std::string& noProxy);
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  CURL* Easy() const { return easy_; }
  bool Ended() const { return ended_; }
  void End(CURLcode result) {
    result_ = result;
    ended_ = true;
  }

  // The whole body, or FetchError naming the address and the reason.
  std::string TakeBody();

 private:
  static std::size_t Write(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t Header(char* data, std::size_t size, std::size_t count, void* self);
  std::string FailureReason() const;

  CURL* easy_;
  const std::string& url_;
  const FetchLimits& limits_;
  std::string body_;
  bool tooLarge_ = false;
  // Of the latest reply of a redirect chain.
  std::int64_t headerBytes_ = 0;
  bool hasLocation_ = false;
  bool headersTooLong_ = false;
  bool ended_ = false;
  CURLcode result_ = CURLE_OK;
  char detail_[CURL_ERROR_SIZE] = {};
};

// Whether `url` has a scheme we fetch (http or https, in any case), and no
// byte that would cut it short on its way to libcurl.
bool IsFetchableAddress(const std::string& url);

// The hosts never reached through a proxy: the user's own list from the
// environment, plus the loopback names.
std::string DirectHosts();

}  // namespace veskor
