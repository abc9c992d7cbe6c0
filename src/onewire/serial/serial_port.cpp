#include "onewire/serial/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace orvel::onewire {
namespace {

bool SpeedOf(int baud, speed_t* speed) {
  switch (baud) {
    case 9600:
      *speed = B9600;
      return true;
    case 19200:
      *speed = B19200;
      return true;
    case 57600:
      *speed = B57600;
      return true;
    case 115200:
      *speed = B115200;
      return true;
    default:
      return false;
  }
}

bool Configure(int fd, int baud) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  speed_t speed{};
  if (!SpeedOf(baud, &speed)) return false;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  // After what was written has left: a speed change must not cut a byte.
  return tcsetattr(fd, TCSADRAIN, &tio) == 0;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& path, int baud,
                                             std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error != nullptr) *error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  if (!Configure(fd, baud)) {
    if (error != nullptr) *error = path + ": not a serial line (" + std::strerror(errno) + ")";
    ::close(fd);
    return nullptr;
  }
  tcflush(fd, TCIFLUSH);
  return std::unique_ptr<SerialPort>(new SerialPort(fd));
}

SerialPort::~SerialPort() { ::close(fd_); }

bool SerialPort::Write(const std::uint8_t* data, std::size_t n) {
  std::size_t done = 0;
  while (alive_ && done < n) {
    const ssize_t w = ::write(fd_, data + done, n - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) return false;
      continue;
    }
    alive_ = false;  // EIO / ENODEV: the device went away
  }
  return alive_;
}

std::size_t SerialPort::Read(std::uint8_t* data, std::size_t n, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::size_t got = 0;
  while (alive_ && got < n) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) break;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t r = ::read(fd_, data + got, n - got);
    if (r > 0) {
      got += static_cast<std::size_t>(r);
      continue;
    }
    if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // A hang-up reads as end of file or EIO: the adapter is gone.
    alive_ = false;
  }
  return got;
}

bool SerialPort::SetBaud(int baud) { return alive_ && Configure(fd_, baud); }

void SerialPort::SendBreak() {
  if (alive_) tcsendbreak(fd_, 0);
}

void SerialPort::FlushInput() {
  if (alive_) tcflush(fd_, TCIFLUSH);
}

}  // namespace orvel::onewire
