#include "network/curl_transfer.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

#include "network/fetch_failure.h"

namespace veskor {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

bool IsFetchableAddress(const std::string& url) {
  if (url.find('\0') != std::string::npos) return false;
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

std::string DirectHosts() {
  // Setting libcurl's own list replaces the environment's, so both go in.
  std::string hosts = "localhost,127.0.0.1,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* user = std::getenv(name);
    if (user && *user) {
      // "*" alone means no proxy for anyone; it only works on its own.
      if (std::string_view(user) == "*") return "*";
      hosts += ',';
      hosts += user;
      break;
    }
  }
  return hosts;
}

CurlTransfer::CurlTransfer(CURL* easy, const std::string& url, const FetchLimits& limits,
                           const std::string& noProxy)
    : easy_(easy), url_(url), limits_(limits) {
  curl_easy_reset(easy_);
  curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  // Never less safe than where we started: no redirect from https to http.
  curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR,
                   StartsWithNoCase(url, "https://") ? "https" : "http,https");
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, static_cast<long>(limits_.maxRedirects));
  // A server that takes an offer of compression spends longer compressing a
  // results page than the page takes to cross the network, and plain bytes
  // keep the size limit about what really arrives.
  curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "identity");
  // The archive speaks HTTP/1.1; anything else only adds a round of talks.
  curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy_, CURLOPT_NOPROXY, noProxy.c_str());
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  // No connection within the stall time: the server is gone. Once the
  // request is on its way, the multi handle watches for silence.
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.stallTimeout.count()));
  // Refused before a byte of the body arrives when the length is announced.
  curl_easy_setopt(easy_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits_.maxBodyBytes));
  // A results page in one or two reads instead of three or four 16 KiB ones;
  // the curl tool reads with the same size.
  curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 100L * 1024);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::Write);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::Header);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, detail_);
}

std::size_t CurlTransfer::Write(char* data, std::size_t size, std::size_t count, void* self) {
  auto& me = *static_cast<CurlTransfer*>(self);
  const std::size_t n = size * count;
  const std::size_t old = me.body_.size();
  if (static_cast<std::int64_t>(old + n) > me.limits_.maxBodyBytes) {
    // Stopped at the first excess byte, whatever the server still sends.
    me.tooLarge_ = true;
    return 0;
  }
  if (old == 0) {
    curl_off_t announced = -1;
    curl_easy_getinfo(me.easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced > 0 && announced <= me.limits_.maxBodyBytes)
      me.body_.reserve(static_cast<std::size_t>(announced));
  }
  me.body_.append(data, n);
  return n;
}

std::size_t CurlTransfer::Header(char* data, std::size_t size, std::size_t count, void* self) {
  auto& me = *static_cast<CurlTransfer*>(self);
  const std::string_view line(data, size * count);
  // Each reply of a redirect chain starts with its status line.
  if (StartsWithNoCase(line, "http/")) {
    me.headerBytes_ = 0;
    me.hasLocation_ = false;
  }
  me.headerBytes_ += static_cast<std::int64_t>(line.size());
  if (me.headerBytes_ > me.limits_.maxHeaderBytes) {
    me.headersTooLong_ = true;
    return 0;
  }
  if (StartsWithNoCase(line, "location:") &&
      line.find_first_not_of(" \t\r\n", 9) != std::string_view::npos)
    me.hasLocation_ = true;
  return line.size();
}

std::string CurlTransfer::FailureReason() const {
  if (tooLarge_) return TooLargeReason(limits_);
  if (headersTooLong_) return HeadersTooLongReason(limits_);
  long redirects = 0;
  curl_easy_getinfo(easy_, CURLINFO_REDIRECT_COUNT, &redirects);
  if (redirects > 0 && (result_ == CURLE_UNSUPPORTED_PROTOCOL || result_ == CURLE_URL_MALFORMAT)) {
    // The address that failed is the server's, not the one asked for.
    const char* effective = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &effective);
    const std::string target = effective ? effective : "";
    if (StartsWithNoCase(target, "http://") && StartsWithNoCase(url_, "https://"))
      return RefusedRedirectReason(target, RedirectRefusal::kHttpsToHttp);
    return RefusedRedirectReason(target, IsFetchableAddress(target)
                                             ? RedirectRefusal::kInvalidAddress
                                             : RedirectRefusal::kNeitherHttpNorHttps);
  }
  // Our own address was checked before it went out: only the reply can
  // have been in a protocol libcurl does not take.
  if (result_ == CURLE_UNSUPPORTED_PROTOCOL || result_ == CURLE_WEIRD_SERVER_REPLY)
    return NotHttpReason();
  return CurlFailureReason(result_, limits_, detail_);
}

std::string CurlTransfer::TakeBody() {
  if (result_ != CURLE_OK || tooLarge_ || headersTooLong_) throw FetchFailure(url_, FailureReason());
  long status = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) throw FetchFailure(url_, HttpStatusReason(status));
  // libcurl follows every redirect that it can; one left over has no
  // address to go to, or is of a kind no page comes with.
  if (status >= 300 && !hasLocation_) throw FetchFailure(url_, RedirectWithoutTargetReason(status));
  if (status < 200 || status >= 300) throw FetchFailure(url_, UnexpectedStatusReason(status));
  return std::move(body_);
}

}  // namespace veskor
