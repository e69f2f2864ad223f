#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kv218::sim {

namespace {

std::string SystemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
  struct stat existing {};
  if (lstat(link.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode)) {
      error = link + " exists and is not a symlink";
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    error = SystemError(("cannot make the link " + link).c_str());
    return false;
  }
  return true;
}

}  // namespace

std::chrono::nanoseconds ByteTime(std::uint32_t baud) {
  return std::chrono::nanoseconds(11'000'000'000LL / std::max<std::uint32_t>(baud, 1));
}

PtyServer::PtyServer(DeviceModel& model, LineOptions options)
    : model_(model),
      options_(std::move(options)),
      byteTime_(ByteTime(options_.baud)),
      random_(options_.unsteady.seed) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    error = SystemError("posix_openpt");
    return false;
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    error = SystemError("preparing the pseudo-terminal");
    CloseLine();
    return false;
  }
  slavePath_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios line{};
  if (slave_ < 0 || tcgetattr(slave_, &line) != 0) {
    error = SystemError(("opening " + slavePath_).c_str());
    CloseLine();
    return false;
  }
  cfmakeraw(&line);
  line.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&line, B115200);
  tcsetattr(slave_, TCSANOW, &line);

  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    error = SystemError("eventfd");
    CloseLine();
    return false;
  }
  closeWatch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (closeWatch_ >= 0 && inotify_add_watch(closeWatch_, slavePath_.c_str(), IN_CLOSE) < 0) {
    close(closeWatch_);
    closeWatch_ = -1;
  }
  if (!options_.linkPath.empty() && !MakeLink(options_.linkPath, slavePath_, error)) {
    CloseLine();
    return false;
  }
  if (options_.trace != nullptr) {
    WireTrace* trace = options_.trace;
    model_.SetFrameObserver(
        [trace](const Frame& frame) { trace->HostFrame(frame.bytes, frame.size); });
  }
  stopRequested_ = false;
  ended_ = false;
  thread_ = std::thread(&PtyServer::Serve, this);
  return true;
}

void PtyServer::Stop() {
  stopRequested_ = true;
  Wake();
  if (thread_.joinable()) thread_.join();
  if (options_.trace != nullptr) model_.SetFrameObserver(nullptr);  // the trace may go first
  CloseLine();
  if (wakeFd_ >= 0) {
    close(wakeFd_);
    wakeFd_ = -1;
  }
  if (closeWatch_ >= 0) {
    close(closeWatch_);
    closeWatch_ = -1;
  }
  if (!options_.linkPath.empty() && !slavePath_.empty()) {
    struct stat existing {};
    if (lstat(options_.linkPath.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) {
      unlink(options_.linkPath.c_str());
    }
  }
  ended_ = true;
  ended_.notify_all();
}

void PtyServer::RequestStandaloneRun() {
  ++runsRequested_;
  Wake();
}

void PtyServer::WaitUntilEnded() { ended_.wait(false); }

void PtyServer::Wake() {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
}

void PtyServer::CloseLine() {
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = -1;
  slave_ = -1;
}

void PtyServer::HostClosed() {
  alignas(inotify_event) char events[4096];
  while (read(closeWatch_, events, sizeof events) > 0) {
  }
  if (slave_ >= 0) ioctl(slave_, TIOCNXCL);
}

void PtyServer::Schedule(Clock::time_point arrival) {
  BurstQueue& output = model_.Output();
  // A burst waits for its operation time after its frame arrived or after the burst before
  // it, and never follows another burst by less than the minimum gap.
  Clock::time_point previous = scheduled_ == 0 ? lastEnd_ : plannedEnd_;
  for (; scheduled_ < output.Size(); ++scheduled_) {
    Burst& burst = output.At(scheduled_);
    const auto base = std::max(arrival, previous);
    burst.due = std::max(base + burst.delay, previous + options_.minimumGap);
    previous = burst.due + (options_.unpaced ? std::chrono::nanoseconds{0}
                                             : byteTime_ * static_cast<std::int64_t>(burst.size));
  }
  plannedEnd_ = previous;
}

void PtyServer::FeedPending() {
  while (inputStart_ < inputEnd_) {
    const std::size_t taken = model_.Feed(input_.data() + inputStart_, inputEnd_ - inputStart_);
    inputStart_ += taken;
    Schedule(inboundFree_);
    if (taken == 0) return;  // the output is full: the rest waits until it drains
  }
}

void PtyServer::ReadHost(Clock::time_point now) {
  while (inputStart_ == inputEnd_) {
    const ssize_t n = read(master_, input_.data(), input_.size());
    if (n <= 0) return;
    // The host's bytes take the line's time to arrive, whatever the pty makes of them.
    inboundFree_ = options_.unpaced
                       ? now
                       : std::max(now, inboundFree_) + byteTime_ * static_cast<std::int64_t>(n);
    inputStart_ = 0;
    inputEnd_ = static_cast<std::size_t>(n);
    FeedPending();
  }
}

void PtyServer::PrepareFront(Burst& burst) {
  const Unsteady& unsteady = options_.unsteady;
  pieceCount_ = 1;
  pieces_[0] = {burst.size, {}};
  if (unsteady.longestDelay.count() > 0) {
    burst.due += std::chrono::milliseconds(random_() % (unsteady.longestDelay.count() + 1));
  }
  if (burst.pause.count() > 0 && burst.pauseAfter > 0 && burst.pauseAfter < burst.size) {
    pieceCount_ = 2;  // the device's own stop (a fault) and nothing else
    pieces_[0] = {burst.pauseAfter, burst.pause};
    pieces_[1] = {burst.size, {}};
    return;
  }
  if (unsteady.longestPause.count() <= 0 || burst.size < 2) return;
  // Up to three cuts at random places, each piece but the last followed by a pause.
  std::array<std::size_t, kMostPieces> ends{};
  const std::size_t cuts = random_() % kMostPieces;
  for (std::size_t i = 0; i < cuts; ++i) ends[i] = 1 + random_() % (burst.size - 1);
  ends[cuts] = burst.size;
  std::sort(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(cuts + 1));
  pieceCount_ = 0;
  for (std::size_t i = 0; i <= cuts; ++i) {
    if (pieceCount_ > 0 && pieces_[pieceCount_ - 1].end == ends[i]) continue;
    const auto pause = std::chrono::milliseconds(1 + random_() % unsteady.longestPause.count());
    pieces_[pieceCount_++] = {ends[i], pause};
  }
  pieces_[pieceCount_ - 1].pauseAfter = {};
}

std::size_t PtyServer::BytesDue(const Burst& burst, Clock::duration elapsed,
                                Clock::time_point& next) const {
  // Each piece goes to the pty in one write, at the moment its last byte would have arrived
  // on the line: however late this thread runs, the host never finds a pause inside a piece.
  Clock::duration at{0};  // counted from the burst's start
  std::size_t from = 0;
  for (std::size_t i = 0; i < pieceCount_; ++i) {
    const Piece& piece = pieces_[i];
    if (!options_.unpaced) at += byteTime_ * static_cast<std::int64_t>(piece.end - from);
    if (elapsed < at) {
      next = burst.due + at;
      return from;
    }
    at += piece.pauseAfter;
    from = piece.end;
  }
  return from;
}

bool PtyServer::SendDue(Clock::time_point now, Clock::time_point& next, bool& wantWritable) {
  BurstQueue& output = model_.Output();
  next = Clock::time_point::max();
  while (scheduled_ > 0) {
    Burst& burst = output.Front();
    if (sentOfFront_ == 0) {
      // A burst held up (the host did not read) still keeps its distance from the last one.
      burst.due = std::max(burst.due, lastEnd_ + options_.minimumGap);
      if (pieceCount_ == 0) PrepareFront(burst);
      if (now < burst.due) {
        next = burst.due;
        return true;
      }
      if (burst.hangUp) {
        if (options_.trace != nullptr) options_.trace->Note("the programmer hangs up the line");
        CloseLine();
        hungUp_ = true;
        return false;
      }
    }
    Clock::time_point nextByte = Clock::time_point::max();
    const std::size_t target = BytesDue(burst, now - burst.due, nextByte);
    if (target > sentOfFront_) {
      if (sentOfFront_ == 0 && options_.trace != nullptr) {
        options_.trace->DeviceBurst(burst.bytes.data(), burst.size);
        if (burst.pause.count() > 0) {
          char note[96];
          std::snprintf(note, sizeof note, "the programmer stops for %lld ms after byte %zu",
                        static_cast<long long>(burst.pause.count()), burst.pauseAfter);
          options_.trace->Note(note);
        }
      }
      const Clock::time_point writing = Clock::now();
      if (sentOfFront_ > 0) NotePauseInBurst(writing - lastWrite_);
      const ssize_t n = write(master_, burst.bytes.data() + sentOfFront_, target - sentOfFront_);
      lastWrite_ = Clock::now();
      if (n > 0) sentOfFront_ += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (sentOfFront_ < target) {  // the pty is full: wait until the host reads
        wantWritable = true;
        return true;
      }
    }
    if (sentOfFront_ == burst.size) {
      lastEnd_ = Clock::now();  // not `now`: the thread may have been held up since
      output.PopFront();
      --scheduled_;
      sentOfFront_ = 0;
      pieceCount_ = 0;
      continue;
    }
    next = nextByte;
    return true;
  }
  return true;
}

void PtyServer::NotePauseInBurst(Clock::duration pause) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(pause).count();
  if (ns > longestPauseInBurst_.load(std::memory_order_relaxed)) {
    longestPauseInBurst_.store(ns, std::memory_order_relaxed);
  }
}

void PtyServer::Serve() {
  pollfd fds[3] = {{master_, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {closeWatch_, POLLIN, 0}};
  while (!stopRequested_) {
    Clock::time_point now = Clock::now();
    for (int runs = runsRequested_.exchange(0); runs > 0; --runs) {
      model_.StartStandaloneRun();
      Schedule(now);
    }
    Clock::time_point next;
    bool wantWritable = false;
    if (!SendDue(now, next, wantWritable)) break;
    FeedPending();
    if (inputStart_ < inputEnd_ && next == Clock::time_point::max() && !wantWritable) {
      continue;  // room again after SendDue: feed on before waiting
    }

    // Input that did not fit stays unread until the output has drained.
    const bool readable = inputStart_ == inputEnd_;
    fds[0].events = static_cast<short>((readable ? POLLIN : 0) | (wantWritable ? POLLOUT : 0));
    timespec wait{};
    timespec* timeout = nullptr;
    if (next != Clock::time_point::max() && !wantWritable) {
      const auto left = std::max(next - now, Clock::duration{0});
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      wait.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      wait.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeout = &wait;
    }
    if (ppoll(fds, 3, timeout, nullptr) < 0 && errno != EINTR) break;
    if (fds[2].revents & POLLIN) HostClosed();
    if (fds[1].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof count);
    }
    if (fds[0].revents & POLLIN) ReadHost(Clock::now());
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // Cannot happen while the server holds the slave open; never spin on a dead line.
      break;
    }
  }
  ended_ = true;
  ended_.notify_all();
}

}  // namespace kv218::sim
