#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, `kill`, Ctrl-C in the terminal that
// started Veskor) end the program as a close of the main window does: the
// running search ends, and the group editor writes what it has not written
// yet, instead of the process dying with it.

#include <functional>

class QObject;

namespace veskor {

// The first thing main does, before Qt starts: from here on these signals
// are caught, and one that comes before the event loop runs waits for it.
void CatchTerminationSignals();

// Once the application object exists: `end` runs in the event loop, in
// `context`'s thread, for the first of these signals (at once if one has
// already come). A second signal while the program ends ends it for good.
void EndOnTerminationSignal(QObject* context, std::function<void()> end);

}  // namespace veskor
