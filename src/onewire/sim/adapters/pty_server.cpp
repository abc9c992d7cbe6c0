#include "onewire/sim/adapters/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace orvel::sim {
namespace {

int BaudOf(int slave) {
  termios tio{};
  if (tcgetattr(slave, &tio) != 0) return 9600;
  switch (cfgetospeed(&tio)) {
    case B19200:
      return 19200;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    default:
      return 9600;
  }
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(fd, data + done, n - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
    } else if (w < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else if (!(w < 0 && errno == EINTR)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<PtyServer> PtyServer::Create(SerialDeviceModel& model, std::string* error) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    if (error != nullptr) *error = std::string("no pseudo-terminal: ") + std::strerror(errno);
    if (master >= 0) ::close(master);
    return nullptr;
  }
  std::array<char, 128> name{};
  if (::ptsname_r(master, name.data(), name.size()) != 0) {
    if (error != nullptr) *error = std::string("ptsname: ") + std::strerror(errno);
    ::close(master);
    return nullptr;
  }
  const int slave = ::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    if (error != nullptr) *error = std::string(name.data()) + ": " + std::strerror(errno);
    ::close(master);
    return nullptr;
  }
  // Raw from the start, so nothing is echoed before the driver sets it up.
  termios tio{};
  tcgetattr(slave, &tio);
  cfmakeraw(&tio);
  tcsetattr(slave, TCSANOW, &tio);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<PtyServer>(new PtyServer(model, master, slave, name.data()));
}

PtyServer::~PtyServer() {
  Stop();
  ::close(slave_);
  ::close(master_);
}

bool PtyServer::ServeOnce(int timeout_ms) {
  pollfd p{master_, POLLIN, 0};
  const int ready = ::poll(&p, 1, timeout_ms);
  if (ready <= 0) return ready == 0 || errno == EINTR;
  std::array<std::uint8_t, 256> in{};
  const ssize_t r = ::read(master_, in.data(), in.size());
  if (r < 0) return errno == EAGAIN || errno == EINTR;
  if (r == 0) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  const int baud = BaudOf(slave_);
  out_.clear();
  for (ssize_t i = 0; i < r; ++i) model_.Receive(in[static_cast<std::size_t>(i)], baud, out_);
  return out_.empty() || WriteAll(master_, out_.data(), out_.size());
}

void PtyServer::Start() {
  if (running_.exchange(true)) return;
  thread_ = std::thread([this] {
    while (running_.load()) ServeOnce(10);
  });
}

void PtyServer::Stop() {
  if (!running_.exchange(false)) return;
  if (thread_.joinable()) thread_.join();
}

}  // namespace orvel::sim
