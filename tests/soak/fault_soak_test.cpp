// The logger's poll mode for thousands of polls in virtual time on a bus
// where every fault of the bus file strikes: the journal must hold only
// whole lines, each reading in the poll that measured it, and the process
// must not grow in memory or open files as the polls go by.
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"
#include "logger/options.h"
#include "logger/run_command.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_SOAK_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVEL_SOAK_ASAN 1
#endif
#ifdef ORVEL_SOAK_ASAN
// The sanitizer runtime's count of heap bytes in use (GCC ships no header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace orvel {
namespace {

namespace fs = std::filesystem;

// Thermometers, humidity modules and bridge chips, each fault on at least
// one of them, and a healthy thermometer to show the polls do read. A bridge
// that stays busy is left out: the driver polls it up to its limit on every
// write, seconds of real time per poll.
constexpr const char* kFaultBus = R"({
  "devices": [
    { "family": "28", "serial": "000000000001", "temperature": 21.5 },
    { "family": "28", "serial": "000000000002", "temperature": 22.25,
      "faults": { "crc_error_rate": 0.02, "seed": 11 } },
    { "family": "28", "serial": "000000000003", "temperature": 23.0,
      "faults": { "absent_after": 3000, "returns_after": 9000 } },
    { "family": "10", "serial": "000000000004", "temperature": -5.5,
      "faults": { "power_on": true } },
    { "family": "28", "serial": "000000000005", "temperature": 19.0,
      "faults": { "busy_forever": true } },
    { "family": "26", "serial": "000000000006", "temperature": 24.0, "vdd": 5.0, "rh": 45.0,
      "faults": { "crc_error_rate": 0.01, "seed": 5 } },
    { "family": "26", "serial": "000000000007", "temperature": 25.0, "vdd": 5.0, "rh": 55.0,
      "faults": { "absent_after": 2000 } },
    { "family": "19", "serial": "000000000008",
      "i2c": { "hdc": { "temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6",
                        "faults": { "nack": true } },
               "bmp280": { "temperature": 22.1, "pressure": 100653.27,
                           "faults": { "absent_after": 300, "returns_after": 900 } } } },
    { "family": "19", "serial": "000000000009",
      "i2c": { "sht": { "temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D" } },
      "faults": { "crc_error_rate": 0.01, "seed": 9 } },
    { "family": "19", "serial": "00000000000A",
      "i2c": { "sts": { "temperature": 30.5, "serial": "0A0B0C0D" } },
      "faults": { "crc_error_rate": 0.002, "seed": 21 } },
    { "family": "19", "serial": "00000000000B",
      "i2c": { "hdc": { "temperature": 20.7, "humidity": 50.5, "serial": "0102030405A7" } },
      "faults": { "absent_after": 1000, "returns_after": 4000 } }
  ]
})";

// Polls in a run: a few thousand; fewer under the sanitizers, which are
// many times slower. ORVEL_SOAK_POLLS overrides.
std::int64_t PollCount() {
  if (const char* env = std::getenv("ORVEL_SOAK_POLLS")) return std::atoll(env);
#ifdef ORVEL_SOAK_ASAN
  return 600;
#else
  return 2000;
#endif
}

std::size_t HeapInUse() {
#ifdef ORVEL_SOAK_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

int OpenFiles() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++n;
    closedir(dir);
  }
  return n;
}

// An output stream that keeps nothing but hands each line to `on_line` as
// it is flushed, so that watching the run adds no memory of its own.
class LineSink : public std::streambuf {
 public:
  explicit LineSink(std::function<void(const std::string&)> on_line)
      : on_line_(std::move(on_line)) {
    line_.reserve(64 * 1024);
  }

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return 0;
    if (c == '\n') {
      on_line_(line_);
      line_.clear();
    } else {
      line_.push_back(static_cast<char>(c));
    }
    return c;
  }

 private:
  std::function<void(const std::string&)> on_line_;
  std::string line_;
};

// "yyyy/mm/dd hh:mm:ss ; -d+,dd" with any non-digit separators.
bool IsJournalLine(const std::string& line) {
  const std::string shape = "9999/99/99 99/99/99 ; ";
  if (line.size() < shape.size() + 4) return false;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool want_digit = shape[i] == '9';
    if (shape[i] == ' ' || shape[i] == ';' ? line[i] != shape[i] : digit(line[i]) != want_digit)
      return false;
  }
  std::size_t i = shape.size();
  if (line[i] == '-') ++i;
  const std::size_t decimal = line.size() - 3;
  if (i >= decimal || digit(line[decimal])) return false;
  for (; i < line.size(); ++i) {
    if (i != decimal && !digit(line[i])) return false;
  }
  return true;
}

// Seconds of a stamp "yyyy/mm/dd hh:mm:ss" with any separators.
std::int64_t StampSeconds(const std::string& s) {
  const auto num = [&](std::size_t at, std::size_t n) { return std::stoi(s.substr(at, n)); };
  return core::SecsOf(core::EncodeDateTime(
      {num(0, 4), num(5, 2), num(8, 2), num(11, 2), num(14, 2), num(17, 2), 0}));
}

TEST(FaultSoak, JournalHoldsWholeLinesOfTheirOwnPollAndNothingGrows) {
  const fs::path root = fs::temp_directory_path() / ("orvel-soak-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "journal");
  struct RemoveAtEnd {
    fs::path path;
    ~RemoveAtEnd() { fs::remove_all(path); }
  } remove_at_end{root};
  std::ofstream(root / "faults.json") << kFaultBus;

  const std::int64_t polls = PollCount();
  const std::int64_t warm_up = std::max<std::int64_t>(polls / 10, 20);
  std::vector<std::int64_t> poll_ends;
  poll_ends.reserve(static_cast<std::size_t>(polls) + 1);
  std::size_t heap_warm = 0, heap_end = 0;
  int files_warm = 0, files_max = 0;
  LineSink out_sink([&](const std::string& line) {
    poll_ends.push_back(StampSeconds(line));
    const auto n = static_cast<std::int64_t>(poll_ends.size());
    if (n == warm_up) {
      heap_warm = HeapInUse();
      files_warm = OpenFiles();
    }
    if (n > warm_up) files_max = std::max(files_max, OpenFiles());
    if (n == polls) heap_end = HeapInUse();
  });
  int notices = 0;
  std::string first_notice;
  LineSink err_sink([&](const std::string& line) {
    if (notices++ == 0) first_notice = line;
  });
  std::ostream out(&out_sink), err(&err_sink);

  logger::Options options;
  options.bus = (root / "faults.json").string();
  options.journal = (root / "journal").string();
  options.interval = 10;
  options.cycles = polls;
  options.virtual_time = true;
  {
    core::VirtualClock clock;
    auto driver = drivers::OpenDriver({options.bus, std::nullopt}, clock);
    ASSERT_EQ(logger::RunPolls(*driver, clock, &clock, options, out, err), 0) << first_notice;
  }
  ASSERT_EQ(static_cast<std::int64_t>(poll_ends.size()), polls);
  for (std::size_t i = 1; i < poll_ends.size(); ++i) ASSERT_LT(poll_ends[i - 1], poll_ends[i]);

  // Bytes the run still holds after its warm-up: a leak of even a few
  // bytes a poll would show here over thousands of polls.
  EXPECT_LT(static_cast<std::int64_t>(heap_end) - static_cast<std::int64_t>(heap_warm), 64 * 1024)
      << "heap in use after " << warm_up << " polls: " << heap_warm << " bytes, after " << polls
      << ": " << heap_end;
  EXPECT_LE(files_max, files_warm) << "open files after the warm-up: " << files_warm;

  std::size_t files = 0, longest = 0;
  for (const auto& entry : fs::directory_iterator(root / "journal")) {
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    const std::string name = entry.path().filename().string();
    ASSERT_FALSE(text.empty()) << name;
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << name << " ends in a cut line";
    std::size_t start = 0, lines = 0;
    std::size_t poll = 0;  // the poll whose window the previous line fell in
    std::int64_t previous = 0;
    while (start < text.size()) {
      const std::size_t end = text.find("\r\n", start);
      ASSERT_NE(end, std::string::npos) << name;
      const std::string line = text.substr(start, end - start);
      start = end + 2;
      ++lines;
      ASSERT_TRUE(IsJournalLine(line)) << name << " line " << lines << ": " << line;
      const std::int64_t t = StampSeconds(line);
      ASSERT_GT(t, previous) << name << " line " << lines << ": " << line;
      previous = t;
      // The first poll that ended at or after the stamp measured it; a
      // later line of the same file must belong to a later poll.
      const auto it = std::lower_bound(poll_ends.begin(), poll_ends.end(), t);
      ASSERT_NE(it, poll_ends.end()) << name << ": a line after the last poll: " << line;
      const auto measured_in = static_cast<std::size_t>(it - poll_ends.begin()) + 1;
      ASSERT_GT(measured_in, poll) << name << ": two lines in one poll: " << line;
      poll = measured_in;
    }
    longest = std::max(longest, lines);
  }
  EXPECT_GE(files, 3U);
  // The healthy thermometer has a line in nearly every poll.
  EXPECT_GE(static_cast<std::int64_t>(longest), polls * 9 / 10);
}

}  // namespace
}  // namespace orvel
