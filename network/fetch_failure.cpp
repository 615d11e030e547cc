#include "network/fetch_failure.h"

#include "engine/readable_text.h"

namespace veskor {
namespace {

std::string Decimal(long long n) { return std::to_string(n); }

std::string DurationText(std::chrono::milliseconds d) {
  const long long ms = d.count();
  if (ms % 1000 == 0) return Decimal(ms / 1000) + " s";
  return Decimal(ms) + " ms";
}

std::string SizeText(std::int64_t bytes) {
  if (bytes > 0 && bytes % (1 << 20) == 0) return Decimal(bytes >> 20) + " Mio";
  if (bytes > 0 && bytes % (1 << 10) == 0) return Decimal(bytes >> 10) + " Kio";
  return Decimal(bytes) + " octets";
}

}  // namespace

FetchError FetchFailure(const std::string& url, const std::string& reason) {
  // A group file may hold an ID of any length: the message names the start.
  return FetchError("Impossible de joindre " + ReadableExcerpt(url) + " : " + reason);
}

std::string HttpStatusReason(long status) { return "erreur HTTP " + Decimal(status); }

std::string RedirectWithoutTargetReason(long status) {
  return "redirection HTTP " + Decimal(status) + " sans adresse de destination";
}

std::string UnexpectedStatusReason(long status) {
  return "r\xE9ponse HTTP " + Decimal(status) + " inattendue";
}

std::string RefusedRedirectReason(const std::string& target, RedirectRefusal why) {
  const std::string named = ReadableExcerpt(target);
  switch (why) {
    case RedirectRefusal::kHttpsToHttp:
      return "redirection refus\xE9""e de https vers http : " + named;
    case RedirectRefusal::kInvalidAddress:
      return "redirection vers une adresse invalide : " + named;
    case RedirectRefusal::kNeitherHttpNorHttps:
      break;
  }
  return "redirection refus\xE9""e vers une adresse ni http ni https : " + named;
}

std::string NotHttpReason() { return "le serveur ne r\xE9pond pas en HTTP"; }

std::string HeadersTooLongReason(const FetchLimits& limits) {
  return "en-t\xEAtes de r\xE9ponse trop longs (plus de " + SizeText(limits.maxHeaderBytes) + ")";
}

std::string TooLargeReason(const FetchLimits& limits) {
  return "r\xE9ponse de plus de " + SizeText(limits.maxBodyBytes);
}

std::string InvalidAddressReason() { return "adresse invalide"; }
std::string AbandonedReason() { return "requ\xEAte abandonn\xE9""e"; }
std::string ClosingReason() { return "requ\xEAte abandonn\xE9""e, le programme se ferme"; }

std::string CurlFailureReason(CURLcode code, const FetchLimits& limits, const char* detail) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
      return "connexion refus\xE9""e";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "serveur introuvable";
    case CURLE_OPERATION_TIMEDOUT:
      return "rien re\xE7u pendant " + DurationText(limits.stallTimeout);
    // libcurl's words for a reply that ends before the length it announced,
    // a chunked body without its last chunk, or no reply at all: each is a
    // page we must not take for a whole one.
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return "connexion ferm\xE9""e avant la fin de la r\xE9ponse";
    case CURLE_TOO_MANY_REDIRECTS:
      return "trop de redirections (plus de " + Decimal(limits.maxRedirects) + ")";
    case CURLE_FILESIZE_EXCEEDED:
      return TooLargeReason(limits);
    case CURLE_URL_MALFORMAT:
      return InvalidAddressReason();
    default:
      break;
  }
  // libcurl's own text is English; it names the fault more precisely than
  // anything we could say in its place.
  const std::string text = detail && *detail ? detail : curl_easy_strerror(code);
  return "erreur r\xE9seau (" + text + ")";
}

}  // namespace veskor
