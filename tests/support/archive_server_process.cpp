#include "tests/support/archive_server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace veskor {
namespace {

constexpr std::string_view kListeningPrefix = "listening on http://";

std::string ExitText(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "stopped";
}

}  // namespace

ArchiveServerProcess::ArchiveServerProcess(const std::string& binary,
                                           const std::vector<std::string>& extraArgs,
                                           std::chrono::milliseconds startTimeout) {
  std::vector<std::string> args = {binary, "--host", "127.0.0.1", "--port", "0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  if (!Launch(binary, args) || !ReadListeningLine(startTimeout)) {
    port_ = 0;
    Stop();
  }
}

ArchiveServerProcess::~ArchiveServerProcess() { Stop(); }

std::string ArchiveServerProcess::Url() const {
  if (host_.empty()) return {};
  return "http://" + host_ + ":" + std::to_string(port_);
}

bool ArchiveServerProcess::Launch(const std::string& binary, const std::vector<std::string>& args) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = std::string("pipe failed: ") + std::strerror(errno);
    return false;
  }
  // Everything the child needs is built before fork: between fork and exec
  // a multithreaded parent's child may only make async-signal-safe calls.
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid < 0) {
    error_ = std::string("fork failed: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(fds[1], STDOUT_FILENO);  // dup2 clears close-on-exec on the copy
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  stdoutFd_ = fds[0];
  return true;
}

bool ArchiveServerProcess::ReadListeningLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      error_ = "no \"listening on\" line within " + std::to_string(timeout.count()) + " ms";
      return false;
    }
    pollfd poller{stdoutFd_, POLLIN, 0};
    const int ready = poll(&poller, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char c = 0;
    const ssize_t got = read(stdoutFd_, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = -1;
      error_ =
          "veskor-archive " + ExitText(status) + " before listening (output: \"" + line + "\")";
      return false;
    }
    if (c != '\n') {
      line += c;
      continue;
    }
    if (!line.starts_with(kListeningPrefix)) {
      error_ = "unexpected first line: \"" + line + "\"";
      return false;
    }
    const std::string address = line.substr(kListeningPrefix.size());
    const std::size_t colon = address.rfind(':');
    port_ = colon == std::string::npos ? 0 : std::atoi(address.c_str() + colon + 1);
    if (port_ <= 0) {
      error_ = "no port in \"" + line + "\"";
      return false;
    }
    host_ = address.substr(0, colon);
    return true;
  }
}

void ArchiveServerProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (reaped == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) {
    close(stdoutFd_);
    stdoutFd_ = -1;
  }
}

}  // namespace veskor
