#include "tests/search_cli/cli_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace veskor::test {
namespace {

std::vector<std::string> ChildEnvironment(const CliRunSettings& settings) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    // The developer's own archive setting must not leak into a test.
    if (text.starts_with("VESKOR_ARCHIVE=")) continue;
    env.emplace_back(text);
  }
  for (const auto& [name, value] : settings.environment) env.push_back(name + "=" + value);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Results page addresses logged in full on the console.
int PagesLogged(const std::string& err) {
  int pages = 0;
  for (std::size_t at = err.find("articles.pl?"); at != std::string::npos;
       at = err.find("articles.pl?", at + 1))
    if (err.find('\n', at) != std::string::npos) ++pages;
  return pages;
}

}  // namespace

CliRun RunSearchCli(const std::vector<std::string>& args, const CliRunSettings& settings) {
  std::vector<std::string> argv{VESKOR_SEARCH_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env = ChildEnvironment(settings);
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(env);

  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
    if (!settings.workingDirectory.empty() && chdir(settings.workingDirectory.c_str()) != 0) _exit(126);
    execve(argvPointers[0], argvPointers.data(), envPointers.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  CliRun run;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  bool interrupted = settings.interrupts == 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (poll(fds, 2, 200) < 0) break;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || (fds[k].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[k]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[k].fd);
        fds[k].fd = -1;
        --open;
      }
    }
    if (!interrupted && PagesLogged(run.err) >= settings.interruptedPage) {
      interrupted = true;
      for (int k = 0; k < settings.interrupts; ++k) {
        if (k > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(pid, SIGINT);
      }
    }
  }
  if (open > 0) kill(pid, SIGKILL);  // hung: the test fails on what it got
  for (auto& fd : fds)
    if (fd.fd >= 0) close(fd.fd);

  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.killedBy = WTERMSIG(status);
  return run;
}

}  // namespace veskor::test
