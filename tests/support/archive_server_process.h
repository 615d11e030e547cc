#pragma once
// Runs the bundled archive server, veskor-archive, as a child process for
// the length of a test, on a free port of 127.0.0.1.
//
//   veskor::ArchiveServerProcess server(VESKOR_ARCHIVE_BIN, {"--slow-ms", "200"});
//   ASSERT_TRUE(server.Started()) << server.Error();
//   httplib::Client client(server.Url());   // or any HTTP client
//
// VESKOR_ARCHIVE_BIN is defined for every test target by tests/CMakeLists.txt.
// The constructor returns once the server has printed its "listening on"
// line (it is serving then) or has failed; it never throws. Extra arguments
// follow "--port 0", so they must not give another --port. The server's
// stderr is the test's stderr.
//
// The destructor (or Stop()) sends SIGTERM, then SIGKILL if the server has
// not exited within two seconds, and reaps it. Should the test process die
// first, the kernel kills the server too (parent-death signal); that signal
// follows the thread that created the object, so create it on a thread that
// outlives the test, normally the main thread.
//
// Not copyable or movable. Not thread-safe: use one object from one thread.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace veskor {

class ArchiveServerProcess {
 public:
  explicit ArchiveServerProcess(const std::string& binary,
                                const std::vector<std::string>& extraArgs = {},
                                std::chrono::milliseconds startTimeout = std::chrono::seconds(10));
  ~ArchiveServerProcess();
  ArchiveServerProcess(const ArchiveServerProcess&) = delete;
  ArchiveServerProcess& operator=(const ArchiveServerProcess&) = delete;

  // True when the server is up and Url() can be used.
  bool Started() const { return port_ > 0; }
  // Why it did not start (English, for test logs); empty when it did.
  const std::string& Error() const { return error_; }

  // "http://127.0.0.1:PORT", no trailing slash; empty when not started.
  std::string Url() const;
  int Port() const { return port_; }
  pid_t Pid() const { return pid_; }

  // Ends the server now (a test of an unreachable archive can use this);
  // Url() keeps its value. Calling it twice is harmless.
  void Stop();

 private:
  bool Launch(const std::string& binary, const std::vector<std::string>& args);
  bool ReadListeningLine(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int port_ = 0;
  std::string host_;
  std::string error_;
};

}  // namespace veskor
