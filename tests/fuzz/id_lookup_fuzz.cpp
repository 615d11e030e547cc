// libFuzzer target: any reply to the ID lookup. The ID must be exactly the
// text after the reply's first "ok=" (the reply seen up to its first zero
// byte) up to the first line break or end marker, nothing when there is no
// "ok=", and it never throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/archive_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  const std::string id = veskor::CutNewsgroupId(body);

  body = body.substr(0, body.find('\0'));
  const std::size_t ok = body.find("ok=");
  if (ok == std::string_view::npos) {
    if (!id.empty()) __builtin_trap();
    return 0;
  }
  const std::string_view rest = body.substr(ok + 3);
  // It starts right after "ok=" and holds no line break and no end marker.
  if (!rest.starts_with(id)) __builtin_trap();
  if (id.find_first_of("\r\n") != std::string::npos || id.find("'\">") != std::string::npos)
    __builtin_trap();
  // So it stops at the first of them, or at the end of the reply.
  const std::string_view after = rest.substr(id.size());
  if (!after.empty() && after[0] != '\r' && after[0] != '\n' && !after.starts_with("'\">"))
    __builtin_trap();
  return 0;
}
