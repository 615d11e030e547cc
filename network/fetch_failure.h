#pragma once
// The French messages of a failed fetch: "Impossible de joindre <adresse> :
// <raison>", with one reason per way a transfer can end badly.

#include <curl/curl.h>

#include <string>

#include "engine/errors.h"
#include "network/fetch_limits.h"

namespace veskor {

FetchError FetchFailure(const std::string& url, const std::string& reason);

// Why libcurl ended a transfer with `code`; `detail` is libcurl's own error
// text, shown only for the failures we have no words of our own for.
std::string CurlFailureReason(CURLcode code, const FetchLimits& limits, const char* detail);

std::string HttpStatusReason(long status);
// A 3xx reply that libcurl could not follow for want of a Location.
std::string RedirectWithoutTargetReason(long status);
// Any other reply that is neither a page (2xx) nor an error (4xx, 5xx).
std::string UnexpectedStatusReason(long status);
// Why libcurl turned down the address `target` that a redirect led to.
enum class RedirectRefusal { kHttpsToHttp, kInvalidAddress, kNeitherHttpNorHttps };
std::string RefusedRedirectReason(const std::string& target, RedirectRefusal why);
std::string NotHttpReason();
std::string TooLargeReason(const FetchLimits& limits);
std::string HeadersTooLongReason(const FetchLimits& limits);
std::string InvalidAddressReason();
std::string AbandonedReason();
std::string ClosingReason();

}  // namespace veskor
