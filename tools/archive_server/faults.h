#pragma once
// The misbehaviours the archive puts on for client tests. A results page
// misbehaves when its gid names a fault ("fault-500", "fault-nul-p2") or
// when the server was started with --fault; an ID lookup misbehaves when the
// newsgroup name names one ("fault-lookup-reset").

#include <optional>
#include <string>
#include <string_view>

namespace veskor::archive {

enum class FaultKind {
  kSlow,          // answered after the slow delay
  kStall,         // headers and part of the body, then silence
  kReset,         // Content-Length promised, connection closed mid-body
  kServerError,   // HTTP 500 with an HTML body
  kRedirect,      // 302 to the same page of the fault newsgroup
  kRedirectLoop,  // 302 to itself
  kNul,           // a zero byte right after the first hit
  kHuge,          // 80 MiB body
  kNoPl,          // results page with no ".pl" after its hits
  kNotResults,    // an error page, no results page, no ".pl" in it
  kStray,         // the page, then a second reply that nobody asked for
};

struct Fault {
  FaultKind kind = FaultKind::kSlow;
  long long fromPage = 1;  // pages before this one are served normally

  bool AppliesTo(long long page) const { return page >= fromPage; }
};

// "KIND" or "KIND-pN" with N >= 1, KIND as in the gids: slow stall reset
// 500 redirect redirectloop nul huge nopl notresults stray.
std::optional<Fault> ParseFault(std::string_view text);

// A gid "fault-" followed by what ParseFault reads.
std::optional<Fault> FaultFromGid(std::string_view gid);

enum class LookupFault {
  kServerError,  // fault-lookup-500
  kReset,        // fault-lookup-reset
  kEmpty,        // fault-lookup-empty: empty body
  kShort,        // fault-lookup-short: the body "x"
  kNoId,         // fault-lookup-noid: a page without "ok="
  kMinusOne,     // fault-lookup-minus1: the ID -1
  kSlow,         // fault-lookup-slow: the fault newsgroup's ID, late
};

// The lookup fault a newsgroup name asks for, or nothing.
std::optional<LookupFault> LookupFaultFromName(std::string_view name);

// Names starting with "fault-" but not "fault-lookup-" look themselves up:
// their ID is the name, so that a quick search on them reaches the fault gid
// of the same name.
bool IsFaultGidName(std::string_view name);

}  // namespace veskor::archive
