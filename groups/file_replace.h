#pragma once
// Replacing a whole file so that, whatever happens half way (a kill, a full
// disk, a second writer in the same folder), the file is afterwards either
// the old one or the new one, byte for byte.

#include <string>
#include <string_view>

#include "engine/errors.h"

namespace veskor {

// Why a replacement failed, as a French clause ("l'écriture a échoué (...)").
class ReplaceError : public VeskorError {
 public:
  using VeskorError::VeskorError;
};

// Writes `bytes` into a new file of a short unique name beside the target,
// syncs it and renames it over the target, then syncs the folder. A path that
// is a symbolic link keeps being one: its final target is replaced. The old
// file's permission bits are kept; a new file gets the usual ones. A target
// that exists but is not a plain file (a folder, a device) is refused.
// Leftover temporary files of earlier writers that died are removed first.
// `path` is in the file system's encoding (UTF-8).
void ReplaceFileContents(const std::string& path, std::string_view bytes);

// Why a file operation failed, from its errno, as a French clause
// ("disque plein"): what the user can do something about, the rest by number.
std::string ErrnoClause(int error);

// The prefix of the temporary files, so that callers (and tests) can tell
// them from the user's files.
inline constexpr char kReplaceTempPrefix[] = ".veskor-";

}  // namespace veskor
