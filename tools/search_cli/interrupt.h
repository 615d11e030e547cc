#pragma once
// Ctrl-C during a search: the first press asks the search to stop after its
// current page, as the window's stop button does; a second one ends the
// program at once with status 130.

namespace veskor::search_cli {

// `quiet`: say nothing on the terminal when the first press is taken.
void InstallInterruptHandler(bool quiet);

// A write to a pipe whose reader has gone fails with EPIPE instead of
// killing the program, so that the search can stop in order.
void IgnoreClosedPipe();

}  // namespace veskor::search_cli
