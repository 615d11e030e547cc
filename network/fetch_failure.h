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
std::string TooLargeReason(const FetchLimits& limits);
std::string InvalidAddressReason();
std::string AbandonedReason();
std::string ClosingReason();

}  // namespace veskor
