#pragma once
// The release number and licence that every program states with --version.
// Plain C++: the command-line tools and the desktop program share it.

#include <string>
#include <string_view>

namespace veskor {

// "1.0": the version set once in the build (the project's version).
const char* ProgramVersion();

// The --version answer of `program` (e.g. "veskor-search"), in UTF-8: the name
// and version on the first line, then the copyright and the licence.
std::string VersionText(std::string_view program);

}  // namespace veskor
