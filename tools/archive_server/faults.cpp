#include "tools/archive_server/faults.h"

#include <array>
#include <charconv>
#include <utility>

namespace veskor::archive {
namespace {

constexpr std::array<std::pair<std::string_view, FaultKind>, 11> kKindNames = {{
    {"slow", FaultKind::kSlow},
    {"stall", FaultKind::kStall},
    {"reset", FaultKind::kReset},
    {"500", FaultKind::kServerError},
    {"redirect", FaultKind::kRedirect},
    {"redirectloop", FaultKind::kRedirectLoop},
    {"nul", FaultKind::kNul},
    {"huge", FaultKind::kHuge},
    {"nopl", FaultKind::kNoPl},
    {"notresults", FaultKind::kNotResults},
    {"stray", FaultKind::kStray},
}};

constexpr std::array<std::pair<std::string_view, LookupFault>, 7> kLookupNames = {{
    {"500", LookupFault::kServerError},
    {"reset", LookupFault::kReset},
    {"empty", LookupFault::kEmpty},
    {"short", LookupFault::kShort},
    {"noid", LookupFault::kNoId},
    {"minus1", LookupFault::kMinusOne},
    {"slow", LookupFault::kSlow},
}};

constexpr std::string_view kFaultPrefix = "fault-";
constexpr std::string_view kLookupPrefix = "fault-lookup-";

std::optional<FaultKind> KindFromName(std::string_view name) {
  for (const auto& [text, kind] : kKindNames) {
    if (text == name) return kind;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view text) {
  if (auto kind = KindFromName(text)) return Fault{*kind, 1};
  const std::size_t dash = text.rfind("-p");
  if (dash == std::string_view::npos) return std::nullopt;
  const auto kind = KindFromName(text.substr(0, dash));
  const std::string_view digits = text.substr(dash + 2);
  if (!kind || digits.empty() || digits.front() == '0') return std::nullopt;
  long long page = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), page);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return Fault{*kind, page};
}

std::optional<Fault> FaultFromGid(std::string_view gid) {
  if (!gid.starts_with(kFaultPrefix) || gid.starts_with(kLookupPrefix)) return std::nullopt;
  return ParseFault(gid.substr(kFaultPrefix.size()));
}

std::optional<LookupFault> LookupFaultFromName(std::string_view name) {
  if (!name.starts_with(kLookupPrefix)) return std::nullopt;
  const std::string_view rest = name.substr(kLookupPrefix.size());
  for (const auto& [text, fault] : kLookupNames) {
    if (text == rest) return fault;
  }
  return std::nullopt;
}

bool IsFaultGidName(std::string_view name) {
  return name.starts_with(kFaultPrefix) && !name.starts_with(kLookupPrefix);
}

}  // namespace veskor::archive
