#pragma once
// What each of the three programs does first, before it writes anything.

namespace veskor {

// Under a file-size limit (ulimit -f, what a quota-like limit looks like to
// a process) a write past the limit kills the process with SIGXFSZ, and with
// it the table, the editor's work and the report of the failure. Ignored, the
// signal leaves the write failing with EFBIG, which every writer reports as
// "fichier trop grand".
void IgnoreFileSizeSignal();

}  // namespace veskor
