#include "logger/poll_output.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace orvel::logger {

bool PollOutput::Put(const std::string& line) {
  // A line cut by an earlier failure gets its end first, so that the
  // lines that follow start on lines of their own.
  const std::string text = cut_ ? "\n" + line : line;
  const std::size_t end_of_cut = cut_ ? 1 : 0;
  std::size_t done = 0;
  while (done < text.size()) {
    errno = 0;
    const std::int64_t n = write_(text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    const int error = n < 0 && errno != 0 ? errno : EIO;
    if (error == EPIPE) return false;
    if (!failed_) {
      err_ << "orvel-logger: standard output cannot be written (" << std::strerror(error)
           << "); the polls and the journal go on\n"
           << std::flush;
    }
    failed_ = true;
    if (done > 0) cut_ = done > end_of_cut;
    return true;
  }
  cut_ = false;
  return true;
}

PollOutput::Write StandardOutput() {
  return [](const char* data, std::size_t size) -> std::int64_t {
#ifdef _WIN32
    return ::_write(1, data, static_cast<unsigned>(size));
#else
    return ::write(1, data, size);
#endif
  };
}

PollOutput::Write StreamOutput(std::ostream& out) {
  return [&out](const char* data, std::size_t size) -> std::int64_t {
    out.write(data, static_cast<std::streamsize>(size));
    out.flush();
    if (out) return static_cast<std::int64_t>(size);
    errno = EIO;
    return -1;
  };
}

}  // namespace orvel::logger
