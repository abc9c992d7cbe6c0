#include "logger/event_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace orvel::logger {
namespace {

constexpr std::uint32_t kCloseMessage = 0xFFFFFFFFu;

// A signal handler can reach the loop only through a process-wide value;
// it holds the write end of the one loop that catches signals.
std::atomic<int> g_signal_fd{-1};
struct sigaction g_old_int {};
struct sigaction g_old_term {};

void WriteMessage(int fd, std::uint32_t message) {
  if (fd < 0) return;
  ssize_t n;
  do {
    n = ::write(fd, &message, sizeof message);  // atomic: below PIPE_BUF
  } while (n < 0 && errno == EINTR);
}

void OnTerminationSignal(int) {
  const int saved = errno;
  WriteMessage(g_signal_fd.load(), kCloseMessage);
  errno = saved;
}

}  // namespace

EventLoop::EventLoop() {
  int fds[2];
  if (::pipe(fds) != 0) return;
  for (int fd : fds) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  read_fd_ = fds[0];
  write_fd_ = fds[1];
}

EventLoop::~EventLoop() {
  if (signals_caught_) {
    ::sigaction(SIGINT, &g_old_int, nullptr);
    ::sigaction(SIGTERM, &g_old_term, nullptr);
    g_signal_fd = -1;
  }
  if (read_fd_ >= 0) ::close(read_fd_);
  if (write_fd_ >= 0) ::close(write_fd_);
}

void EventLoop::PostTick(std::uint32_t threadCount) { WriteMessage(write_fd_, threadCount); }

void EventLoop::PostClose() { WriteMessage(write_fd_, kCloseMessage); }

void EventLoop::CatchTerminationSignals() {
  g_signal_fd = write_fd_;
  struct sigaction action {};
  action.sa_handler = &OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a journal write in progress simply goes on
  ::sigaction(SIGINT, &action, &g_old_int);
  ::sigaction(SIGTERM, &action, &g_old_term);
  signals_caught_ = true;
}

bool EventLoop::Dispatch(bool block) {
  if (block) {
    pollfd p{read_fd_, POLLIN, 0};
    if (::poll(&p, 1, -1) < 0) return false;  // interrupted: the caller looks again
  }
  char buf[256];
  const ssize_t n = ::read(read_fd_, buf, sizeof buf);
  if (n <= 0) return false;
  carry_.append(buf, static_cast<std::size_t>(n));
  std::size_t used = 0;
  bool handled = false;
  // Handlers may call ProcessMessages and so come back here: take each
  // message off the carry before handling it.
  while (carry_.size() - used >= sizeof(std::uint32_t)) {
    std::uint32_t message;
    std::memcpy(&message, carry_.data() + used, sizeof message);
    used += sizeof message;
    carry_.erase(0, used);
    used = 0;
    handled = true;
    if (message == kCloseMessage) {
      if (onClose) onClose();
    } else if (onTick) {
      onTick(message);
    }
  }
  return handled;
}

void EventLoop::ProcessMessages() {
  while (Dispatch(false)) {
  }
}

void EventLoop::Run(const std::function<bool()>& done, measure::ManualTimerService* timers,
                    core::VirtualClock* clock) {
  const bool virtual_time = timers != nullptr && clock != nullptr;
  while (!done()) {
    if (Dispatch(!virtual_time)) continue;
    if (!virtual_time) continue;
    const std::int64_t next = timers->NextDueMicros();
    if (next < 0) return;  // nothing left that could end the wait
    if (next > clock->MonotonicMicros()) clock->Advance(next - clock->MonotonicMicros());
    timers->FireDue();
  }
}

}  // namespace orvel::logger
