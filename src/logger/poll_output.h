#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace orvel::logger {

// Where the poll lines go. A reader that went away (EPIPE) ends the run;
// any other failure is reported once on the error stream and the lines
// that follow are still tried, so that the polls and the journal go on.
class PollOutput {
 public:
  // One write(2)-like call: the bytes written, or -1 with the cause in errno.
  using Write = std::function<std::int64_t(const char* data, std::size_t size)>;

  PollOutput(Write write, std::ostream& err) : write_(std::move(write)), err_(err) {}

  // Writes the line whole, short writes continued. False when the reader
  // went away.
  bool Put(const std::string& line);
  // A line was lost for another reason than a reader that went away.
  bool failed() const { return failed_; }

 private:
  Write write_;
  std::ostream& err_;
  bool failed_ = false;
  bool cut_ = false;  // a piece of the last line went out without its end
};

// Standard output of the process.
PollOutput::Write StandardOutput();
// A stream (tests): a stream that fails counts as an output error.
PollOutput::Write StreamOutput(std::ostream& out);

}  // namespace orvel::logger
