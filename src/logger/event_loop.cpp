#include "logger/event_loop.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

namespace orvel::logger {
namespace {

constexpr std::uint32_t kCloseMessage = 0xFFFFFFFFu;

// A signal handler can reach the loop only through a process-wide value;
// it holds the write end of the one loop that catches signals.
std::atomic<int> g_signal_fd{-1};

#ifdef _WIN32
// Windows: the C runtime's pipe, and console control events (Ctrl+C,
// Ctrl+Break, closing the console) from a thread of their own.
void WriteMessage(int fd, std::uint32_t message) {
  if (fd >= 0) ::_write(fd, &message, sizeof message);
}

BOOL WINAPI OnConsoleEvent(DWORD) {
  WriteMessage(g_signal_fd.load(), kCloseMessage);
  return TRUE;
}

bool MakePipe(int fds[2]) { return ::_pipe(fds, 4096, _O_BINARY | _O_NOINHERIT) == 0; }

bool WaitReadable(int fd, bool block) {
  if (block) return true;  // the read itself waits
  DWORD available = 0;
  const auto pipe = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  return ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0;
}

int ReadSome(int fd, char* buf, unsigned n) { return ::_read(fd, buf, n); }
#else
// The signals that close the run, and what they did before.
constexpr int kCloseSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_old_close[std::size(kCloseSignals)]{};
struct sigaction g_old_xfsz {};

void WriteMessage(int fd, std::uint32_t message) {
  if (fd < 0) return;
  ssize_t n;
  do {
    n = ::write(fd, &message, sizeof message);  // atomic: below PIPE_BUF
  } while (n < 0 && errno == EINTR);
}

bool MakePipe(int fds[2]) {
  if (::pipe(fds) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    ::fcntl(fds[i], F_SETFL, ::fcntl(fds[i], F_GETFL) | O_NONBLOCK);
  }
  return true;
}

bool WaitReadable(int fd, bool block) {
  if (!block) return true;  // the non-blocking read says
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, -1) >= 0;  // interrupted: the caller looks again
}

int ReadSome(int fd, char* buf, unsigned n) { return static_cast<int>(::read(fd, buf, n)); }
#endif

#ifndef _WIN32
void OnTerminationSignal(int) {
  const int saved = errno;
  WriteMessage(g_signal_fd.load(), kCloseMessage);
  errno = saved;
}
#endif

}  // namespace

EventLoop::EventLoop() {
  int fds[2];
  if (!MakePipe(fds)) return;
  read_fd_ = fds[0];
  write_fd_ = fds[1];
}

EventLoop::~EventLoop() {
  if (signals_caught_) {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
#else
    for (std::size_t i = 0; i < std::size(kCloseSignals); ++i) {
      ::sigaction(kCloseSignals[i], &g_old_close[i], nullptr);
    }
    ::sigaction(SIGXFSZ, &g_old_xfsz, nullptr);
#endif
    g_signal_fd = -1;
  }
  if (read_fd_ >= 0) ::close(read_fd_);
  if (write_fd_ >= 0) ::close(write_fd_);
}

void EventLoop::PostTick(std::uint32_t threadCount) { WriteMessage(write_fd_, threadCount); }

void EventLoop::PostClose() { WriteMessage(write_fd_, kCloseMessage); }

void EventLoop::CatchTerminationSignals() {
  g_signal_fd = write_fd_;
#ifdef _WIN32
  ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = &OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a journal write in progress simply goes on
  // A hang-up (the terminal or the session went away) closes like SIGTERM,
  // unless it came in ignored (nohup).
  for (std::size_t i = 0; i < std::size(kCloseSignals); ++i) {
    ::sigaction(kCloseSignals[i], &action, &g_old_close[i]);
    if (kCloseSignals[i] == SIGHUP && g_old_close[i].sa_handler == SIG_IGN) {
      ::sigaction(SIGHUP, &g_old_close[i], nullptr);
    }
  }
  // A file that reaches the size limit (`ulimit -f`) fails its write with
  // EFBIG, reported like any other write error, instead of killing us.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, &g_old_xfsz);
  // A reader that goes away (`| head`) must not kill us before the driver is
  // closed: the failed write of the poll line asks for the close instead.
  ::signal(SIGPIPE, SIG_IGN);
#endif
  signals_caught_ = true;
}

bool EventLoop::Dispatch(bool block) {
  if (!WaitReadable(read_fd_, block)) return false;
  char buf[256];
  const int n = ReadSome(read_fd_, buf, sizeof buf);
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
