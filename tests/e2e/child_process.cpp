#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace kv218::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildSetup& setup) {
  using Output = ChildSetup::Output;
  int out[2] = {-1, -1};
  int err[2];
  if (pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (setup.output == Output::Pipe && pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  if (setup.output == Output::Terminal) {
    // The slave side is opened here, before the child exists, so the master never reads as
    // hung up before the child has it.
    out[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (out[0] < 0 || grantpt(out[0]) != 0 || unlockpt(out[0]) != 0 ||
        ptsname_r(out[0], name, sizeof name) != 0 ||
        (out[1] = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
  }
  std::vector<char*> args;  // built before the fork: the child only calls what is safe there
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    if (setup.output == Output::File) {
      const int fd = open(setup.outputFile.c_str(), O_WRONLY);
      if (fd < 0) _exit(126);
      dup2(fd, 1);
      close(fd);
    } else {
      dup2(out[1], 1);
    }
    if (setup.output == Output::Terminal) {
      setsid();
      if (ioctl(1, TIOCSCTTY, 0) != 0) _exit(126);
      termios mode{};
      tcgetattr(1, &mode);
      mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // lines as a pipe carries them
      tcsetattr(1, TCSANOW, &mode);
    }
    dup2(err[1], 2);
    if (setup.fileSizeLimit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{};
      getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = static_cast<rlim_t>(setup.fileSizeLimit);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    // The child gets the default signal handling and mask, whatever the test runner has.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    execv(args[0], args.data());
    _exit(127);
  }
  if (out[1] >= 0) close(out[1]);
  close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) close(outFd_);
  if (errFd_ >= 0) close(errFd_);
}

bool ChildProcess::ReadSome(std::chrono::steady_clock::time_point until) {
  std::vector<pollfd> fds;
  if (outFd_ >= 0) fds.push_back({outFd_, POLLIN, 0});
  if (errFd_ >= 0) fds.push_back({errFd_, POLLIN, 0});
  if (fds.empty()) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      until - std::chrono::steady_clock::now());
  if (left.count() <= 0) return true;
  const int ready = poll(fds.data(), fds.size(), static_cast<int>(left.count()));
  if (ready < 0 && errno != EINTR) return false;
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    char buffer[4096];
    const ssize_t n = read(p.fd, buffer, sizeof buffer);
    std::string& into = p.fd == outFd_ ? out_ : err_;
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
    } else {
      close(p.fd);
      (p.fd == outFd_ ? outFd_ : errFd_) = -1;
    }
  }
  return true;
}

bool ChildProcess::WaitFor(const std::string& text,
                           const std::function<bool(const std::string&)>& ready,
                           std::chrono::seconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (!ready(text)) {
    if (std::chrono::steady_clock::now() >= until || !ReadSome(until)) return false;
  }
  return true;
}

bool ChildProcess::WaitForOutput(const std::function<bool(const std::string&)>& ready,
                                 std::chrono::seconds deadline) {
  return WaitFor(out_, ready, deadline);
}

bool ChildProcess::WaitForError(const std::function<bool(const std::string&)>& ready,
                                std::chrono::seconds deadline) {
  return WaitFor(err_, ready, deadline);
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

void ChildProcess::CloseOutput() {
  if (outFd_ >= 0) close(outFd_);
  outFd_ = -1;
}

Finished ChildProcess::Wait(std::chrono::seconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (std::chrono::steady_clock::now() < until && ReadSome(until)) {
  }
  Finished finished;
  if (outFd_ >= 0 || errFd_ >= 0) kill(pid_, SIGKILL);  // the deadline passed
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) finished.exitCode = WEXITSTATUS(status);
  finished.out = out_;
  finished.err = err_;
  return finished;
}

Finished Run(const std::vector<std::string>& argv, std::chrono::seconds deadline) {
  return Run(argv, ChildSetup{}, deadline);
}

Finished Run(const std::vector<std::string>& argv, const ChildSetup& setup,
             std::chrono::seconds deadline) {
  ChildProcess child(argv, setup);
  return child.Wait(deadline);
}

std::vector<std::string> LogLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    bool stamped = false;
    for (const char* opening : {"PROGRAMMING ", "KV-218 TO TARGET", "VERIFY", "READ"}) {
      stamped = stamped || line.rfind(opening, 0) == 0;
    }
    const auto open = line.rfind('(');
    if (stamped && open != std::string::npos && !line.empty() && line.back() == ')') {
      line = line.substr(0, open + 1) + "T)";
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace kv218::testing
