#include "logger/poll_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

namespace orvel::logger {
namespace {

// One scripted answer of the output: a byte count to accept, or an error.
struct Answer {
  std::int64_t accept;  // bytes taken; -1: fail with `error`
  int error = 0;
};

struct OutputCase {
  const char* name;
  std::vector<std::string> lines;
  std::vector<Answer> answers;  // then every write succeeds whole
  std::string written;          // what reached the output
  std::vector<bool> put;        // Put's results, line by line
  bool failed;
  std::size_t reports;  // lines on the error stream
};
void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class PollOutputTest : public testing::TestWithParam<OutputCase> {};

TEST_P(PollOutputTest, WritesWholeLinesAndReportsOnce) {
  const OutputCase& c = GetParam();
  std::string written;
  std::size_t next = 0;
  std::ostringstream err;
  PollOutput output(
      [&](const char* data, std::size_t size) -> std::int64_t {
        std::int64_t n = static_cast<std::int64_t>(size);
        if (next < c.answers.size()) {
          const Answer a = c.answers[next++];
          if (a.accept < 0) {
            errno = a.error;
            return -1;
          }
          n = std::min(n, a.accept);
        }
        written.append(data, static_cast<std::size_t>(n));
        return n;
      },
      err);
  std::vector<bool> put;
  for (const auto& line : c.lines) put.push_back(output.Put(line));
  EXPECT_EQ(written, c.written);
  EXPECT_EQ(put, c.put);
  EXPECT_EQ(output.failed(), c.failed);
  const std::string report = err.str();
  EXPECT_EQ(static_cast<std::size_t>(std::count(report.begin(), report.end(), '\n')), c.reports)
      << report;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PollOutputTest,
    testing::Values(
        OutputCase{
            "ShortWritesAreContinued", {"abcdef\n"}, {{2}, {3}}, "abcdef\n", {true}, false, 0},
        OutputCase{"InterruptedWriteIsRetried", {"ab\n"}, {{-1, EINTR}}, "ab\n", {true}, false, 0},
        OutputCase{"ReaderGoneEndsQuietly", {"ab\n"}, {{-1, EPIPE}}, "", {false}, false, 0},
        OutputCase{"FullDeviceIsReportedOnceAndTriedAgain",
                   {"a\n", "b\n", "c\n"},
                   {{-1, ENOSPC}, {-1, ENOSPC}},
                   "c\n",
                   {true, true, true},
                   true,
                   1},
        // The piece of a cut line stays on a line of its own.
        OutputCase{"CutLineIsEndedBeforeTheNext",
                   {"abcd\n", "efg\n"},
                   {{2}, {-1, ENOSPC}},
                   "ab\nefg\n",
                   {true, true},
                   true,
                   1},
        OutputCase{"CutLineStaysCutWhileTheOutputFails",
                   {"abcd\n", "efg\n", "hi\n"},
                   {{2}, {-1, ENOSPC}, {-1, ENOSPC}},
                   "ab\nhi\n",
                   {true, true, true},
                   true,
                   1},
        OutputCase{
            "NoProgressCountsAsAFailure", {"ab\n", "c\n"}, {{0}}, "c\n", {true, true}, true, 1},
        OutputCase{"ReaderGoneAfterAFailureStillEnds",
                   {"a\n", "b\n"},
                   {{-1, EIO}, {-1, EPIPE}},
                   "",
                   {true, false},
                   true,
                   1}),
    [](const testing::TestParamInfo<OutputCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvel::logger
