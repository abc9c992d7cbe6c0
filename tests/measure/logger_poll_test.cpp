#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "logger/run_command.h"

namespace orvel::logger {
namespace {

namespace fs = std::filesystem;

TEST(PollLineTest, PairsInOrderWithQuotesAndBackslashesEscaped) {
  EXPECT_EQ(
      FormatPollLine("2026/12/07 15:23:44",
                     {{"stat1", "Адаптер найден"}, {"lblTvalue", "a\"b\\c"}, {"cmb1820", ""}}),
      "2026/12/07 15:23:44 stat1=\"Адаптер найден\" lblTvalue=\"a\\\"b\\\\c\" cmb1820=\"\"");
}

// The logger binary run as a child process, its stdout read line by line.
class Child {
 public:
  // `env`: NAME=VALUE settings for the child; LC_ALL is C unless given.
  // `in_child` runs in the child just before the logger starts.
  explicit Child(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env = {},
                 const std::function<void()>& in_child = {}) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      dup2(err[1], 2);
      close(out[0]);
      close(err[0]);
      std::vector<char*> argv{const_cast<char*>(ORVEL_LOGGER_PATH)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      setenv("LC_ALL", "C", 1);
      for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      if (in_child) in_child();
      execv(ORVEL_LOGGER_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = fdopen(out[0], "r");
    err_ = fdopen(err[0], "r");
  }
  ~Child() {
    if (out_) fclose(out_);
    if (err_) fclose(err_);
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ReadLine(std::string& line) {
    char* buf = nullptr;
    size_t cap = 0;
    const ssize_t n = getline(&buf, &cap, out_);
    if (n > 0) line.assign(buf, static_cast<std::size_t>(n));
    free(buf);
    return n > 0;
  }
  std::string RestOf(FILE* f) {
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
  }
  // Reads what is left of both streams and waits: the exit status.
  int Finish(std::string& out, std::string& err) {
    if (out_) out += RestOf(out_);
    err = RestOf(err_);
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  void Signal(int sig) { kill(pid_, sig); }
  // The reader of the values goes away, as `| head -1` does.
  void CloseStdout() {
    fclose(out_);
    out_ = nullptr;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  FILE* err_ = nullptr;
  int status_ = -1;
};

class LoggerRunTest : public ::testing::Test {
 protected:
  LoggerRunTest() {
    char pattern[] = "/tmp/orvel-logger-XXXXXX";
    dir = mkdtemp(pattern);
  }
  ~LoggerRunTest() override { fs::remove_all(dir); }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Demo() const { return std::string(ORVEL_EXAMPLES_DIR) + "/demo.json"; }
  fs::path dir;
};

const std::regex kPollLine(
    R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d stat1="[^"]*" cmb1820="00 [0-9A-F]{14}10" )"
    R"(lblTvalue="-?\d+(\.\d+)? °C" cmbhlt="\d\d [0-9A-F]{14}26" lblHvalue="\d+(\.\d+)? %" )"
    R"(cmbds28e17="\d\d [0-9A-F]{14}19" edtSNHDC="[0-9A-F]{12}" )"
    R"(lblValT28e17="\d+\.\d\d °C" lblValH28e17="\d+\.\d\d %" lblValP28e17="[^"]*" )"
    R"(lblValPTds28e17="[^"]*"\n)");
const std::regex kJournalLine(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d ; -?\d+\.\d\d\r\n)");

TEST_F(LoggerRunTest, ThreeVirtualCyclesGiveThreeLinesPerFileAndPerPoll) {
  Child child({"--bus", Demo(), "--journal", dir.string(), "--interval", "5", "--cycles", "3",
               "--virtual-time"});
  std::string out, err;
  ASSERT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_EQ(err, "");
  std::vector<std::string> lines;
  std::stringstream s(out);
  for (std::string l; std::getline(s, l);) lines.push_back(l + "\n");
  ASSERT_EQ(lines.size(), 3u) << out;
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, kPollLine)) << l;

  // Three thermometers, a humidity module, two bridge probes (one with a
  // pressure sensor): nine files.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
    const std::string text = Read(entry.path());
    std::size_t count = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), kJournalLine), end; it != end; ++it) {
      ++count;
    }
    EXPECT_EQ(count, 3u) << names.back() << "\n" << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << names.back();
  }
  EXPECT_EQ(names.size(), 9u);
  EXPECT_THAT(names, ::testing::Contains("p_010000001D2E3F19.csv"));
  EXPECT_THAT(names, ::testing::Contains("t_CA000801A2B3C410.csv"));
}

TEST_F(LoggerRunTest, CommaLocaleGivesCommasAndItsDateSeparator) {
  // A Russian locale built into the test folder: comma decimals, full-stop
  // dates.
  const fs::path locales = dir / "locales";
  fs::create_directory(locales);
  const std::string build =
      "localedef -i ru_RU -f UTF-8 " + (locales / "ru_RU.UTF-8").string() + " >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "cannot build the ru_RU locale";
  const fs::path journal = dir / "journal";
  fs::create_directory(journal);
  Child child({"--bus", Demo(), "--journal", journal.string(), "--interval", "5", "--cycles", "1",
               "--virtual-time"},
              {{"LOCPATH", locales.string()}, {"LC_ALL", "ru_RU.UTF-8"}});
  std::string out, err;
  ASSERT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d stat1=)")))
      << out;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(lblTvalue="-10,25 °C")"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(lblValT28e17="\d+,\d\d °C")"))) << out;
  const std::string text = Read(journal / "t_CA000801A2B3C410.csv");
  EXPECT_TRUE(
      std::regex_match(text, std::regex(R"(\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d ; -10,25\r\n)")))
      << text;
}

TEST_F(LoggerRunTest, MultiByteDecimalSignLocaleWritesAsciiAndReadsTheBusFileRight) {
  // ps_AF: the decimal sign is U+066B (two bytes in UTF-8), the date format
  // has no ASCII separator. Numbers are written with the C locale's signs,
  // and the bus file's numbers are read as JSON writes them.
  const fs::path locales = dir / "locales";
  fs::create_directory(locales);
  const std::string build =
      "localedef -i ps_AF -f UTF-8 " + (locales / "ps_AF.UTF-8").string() + " >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "cannot build the ps_AF locale";
  const fs::path bus = dir / "bus.json";
  std::ofstream(bus) << R"({ "devices": [
      { "family": "28", "serial": "0000012A3B4C", "temperature": 2.25e1 },
      { "family": "19", "serial": "0000001D2E3F",
        "i2c": { "hdc": { "temperature": 1.875E1, "humidity": 45.5 } } } ] })";
  const fs::path journal = dir / "journal";
  fs::create_directory(journal);
  Child child({"--bus", bus.string(), "--journal", journal.string(), "--interval", "5", "--cycles",
               "1", "--virtual-time"},
              {{"LOCPATH", locales.string()}, {"LC_ALL", "ps_AF.UTF-8"}});
  std::string out, err;
  ASSERT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d stat1=)")))
      << out;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(lblTvalue="22.5 °C")"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(lblValT28e17="18.7\d °C")"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(lblValH28e17="45.\d\d %")"))) << out;
  const std::regex stamp_and_value(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d ; (\d+\.\d\d)\r\n)");
  std::smatch m;
  const std::string thermometer = Read(journal / "t_220000012A3B4C28.csv");
  ASSERT_TRUE(std::regex_match(thermometer, m, stamp_and_value)) << thermometer;
  EXPECT_EQ(m[1], "22.50");
  const std::string bridge = Read(journal / "t_010000001D2E3F19.csv");
  ASSERT_TRUE(std::regex_match(bridge, m, stamp_and_value)) << bridge;
  EXPECT_NEAR(std::stod(m[1].str()), 18.75, 0.011);
}

TEST_F(LoggerRunTest, WithoutJournalNoFileIsWritten) {
  Child child({"--bus", Demo(), "--cycles", "2", "--virtual-time"});
  std::string out, err;
  ASSERT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
  EXPECT_TRUE(fs::is_empty(dir));
}

// Every file holds whole journal lines and nothing else; returns the
// number of lines per file name.
std::map<std::string, std::size_t> ExpectWholeJournalLines(const fs::path& dir) {
  std::map<std::string, std::size_t> lines;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::size_t bytes = 0;
    std::size_t count = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), kJournalLine), end; it != end; ++it) {
      bytes += static_cast<std::size_t>(it->length());
      ++count;
    }
    EXPECT_EQ(bytes, text.size()) << "a malformed line in " << entry.path() << ":\n" << text;
    lines[entry.path().filename().string()] = count;
  }
  return lines;
}

// --fast on the demo bus: the same poll lines and the same journal files
// with the same number of lines as without it.
TEST_F(LoggerRunTest, FastModeJournalsWhatTheSpecifiedModeJournals) {
  std::map<std::string, std::size_t> journals[2];
  for (int fast = 0; fast < 2; ++fast) {
    const fs::path folder = dir / (fast ? "fast" : "normal");
    fs::create_directories(folder);
    std::vector<std::string> args{"--bus", Demo(),     "--journal", folder.string(), "--interval",
                                  "5",     "--cycles", "5",         "--virtual-time"};
    if (fast) args.insert(args.end(), {"--fast", "--rescan-every", "2"});
    Child child(args);
    std::string out, err;
    ASSERT_EQ(child.Finish(out, err), 0) << err;
    std::stringstream s(out);
    std::size_t polls = 0;
    for (std::string l; std::getline(s, l); ++polls) {
      EXPECT_TRUE(std::regex_match(l + "\n", kPollLine)) << l;
    }
    EXPECT_EQ(polls, 5u);
    journals[fast] = ExpectWholeJournalLines(folder);
  }
  EXPECT_EQ(journals[1], journals[0]);
  EXPECT_EQ(journals[1].size(), 9u);
  for (const auto& [name, lines] : journals[1]) EXPECT_EQ(lines, 5u) << name;
}

// SIGINT, SIGTERM and a hang-up all close like the window: exit 0, the
// driver closed, no journal line cut.
struct CloseSignal {
  int number;
  const char* name;
};
void PrintTo(const CloseSignal& c, std::ostream* os) { *os << c.name; }

class LoggerSignalTest : public LoggerRunTest, public ::testing::WithParamInterface<CloseSignal> {};

TEST_P(LoggerSignalTest, ClosesCleanlyWithoutACutLine) {
  Child child({"--bus", Demo(), "--journal", dir.string(), "--interval", "1", "--virtual-time"});
  std::string first;
  ASSERT_TRUE(child.ReadLine(first));
  EXPECT_TRUE(std::regex_match(first, kPollLine)) << first;
  child.Signal(GetParam().number);
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_EQ(err, "");
  const auto lines = ExpectWholeJournalLines(dir);
  EXPECT_EQ(lines.size(), 9u);
  for (const auto& [name, count] : lines) EXPECT_GE(count, 1u) << name;
}

INSTANTIATE_TEST_SUITE_P(Signals, LoggerSignalTest,
                         ::testing::Values(CloseSignal{SIGINT, "SIGINT"},
                                           CloseSignal{SIGTERM, "SIGTERM"},
                                           CloseSignal{SIGHUP, "SIGHUP"}),
                         [](const ::testing::TestParamInfo<CloseSignal>& info) {
                           return std::string(info.param.name);
                         });

// Started under nohup, a hang-up is not a close request.
TEST_F(LoggerRunTest, AnIgnoredHangUpStaysIgnored) {
  Child child({"--bus", Demo(), "--interval", "1", "--virtual-time"}, {}, [] {
    signal(SIGHUP, SIG_IGN);
    fcntl(1, F_SETPIPE_SZ, 4096);  // a few lines in the pipe, not hundreds
  });
  std::string line;
  ASSERT_TRUE(child.ReadLine(line));
  child.Signal(SIGHUP);
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(child.ReadLine(line)) << "stopped after " << i;
  child.Signal(SIGTERM);
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 0) << err;
}

TEST_F(LoggerRunTest, AReaderThatGoesAwayClosesCleanlyInsteadOfKillingTheLogger) {
  Child child({"--bus", Demo(), "--journal", dir.string(), "--interval", "1", "--virtual-time"});
  std::string first;
  ASSERT_TRUE(child.ReadLine(first));
  child.CloseStdout();
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 0) << err;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string text = Read(entry.path());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << entry.path();
  }
}

TEST_F(LoggerRunTest, AdapterNeverOpenedEndsWithStatusOne) {
  Child child({"--bus", std::string(ORVEL_EXAMPLES_DIR) + "/adapter-absent.json", "--cycles", "2",
               "--virtual-time"});
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 1) << err;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(LoggerRunTest, AScanThatSucceedsLaterStillEndsWithStatusZero) {
  // The first scan finds no default port, the second one the fallback port.
  Child child({"--bus", std::string(ORVEL_EXAMPLES_DIR) + "/no-default-port.json", "--cycles", "2",
               "--virtual-time"});
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_NE(out.find("Адаптер найден"), std::string::npos) << out;
}

TEST_F(LoggerRunTest, MissingJournalFolderIsABadArgument) {
  Child child({"--bus", Demo(), "--journal", (dir / "none").string(), "--virtual-time"});
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 2);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(out, "");
}

// Standard output on a full device: every poll still runs and journals,
// the failure is reported once, and the exit status says so.
class LoggerFullOutputTest : public LoggerRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LoggerFullOutputTest, ReportsOnceAndGoesOnWithStatusThree) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full here";
  const bool journal = GetParam();
  std::vector<std::string> args{"--bus", Demo(), "--virtual-time", "--cycles", "5"};
  if (journal) args.insert(args.end(), {"--journal", dir.string()});
  Child child(args, {}, [] {
    const int full = open("/dev/full", O_WRONLY);
    if (full < 0) _exit(126);
    dup2(full, 1);
  });
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 3) << err;
  EXPECT_EQ(out, "");
  EXPECT_EQ(err,
            "orvel-logger: standard output cannot be written (No space left on device); "
            "the polls and the journal go on\n");
  const auto lines = ExpectWholeJournalLines(dir);
  EXPECT_EQ(lines.size(), journal ? 9u : 0u);
  for (const auto& [name, count] : lines) EXPECT_EQ(count, 5u) << name;
}

INSTANTIATE_TEST_SUITE_P(Journal, LoggerFullOutputTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "WithJournal" : "WithoutJournal");
                         });

// A journal file that reaches the file size limit (`ulimit -f`): the write
// fails with EFBIG instead of SIGXFSZ killing the logger, it is reported
// like any journal write error, and the file keeps whole lines only.
TEST_F(LoggerRunTest, FileSizeLimitGivesReportedWriteErrorsNotAKill) {
  const fs::path journal = dir / "journal";
  fs::create_directory(journal);
  // Lines of 28 bytes ("... ; 5.00") fill 280 bytes exactly after ten
  // polls; lines of 30 bytes ("... ; -10.25") are cut part-way at the tenth.
  const fs::path bus = dir / "bus.json";
  std::ofstream(bus) << R"({ "devices": [
    { "family": "28", "serial": "000000000001", "temperature": 5.0 },
    { "family": "28", "serial": "000000000002", "temperature": -10.25 } ] })";
  Child child({"--bus", bus.string(), "--journal", journal.string(), "--interval", "1", "--cycles",
               "12", "--virtual-time"},
              {}, [] {
                const rlimit limit{280, 280};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
              });
  std::string out, err;
  ASSERT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 12) << out;

  const auto lines = ExpectWholeJournalLines(journal);
  ASSERT_EQ(lines.size(), 2u);
  std::map<std::size_t, std::string> by_size;
  for (const auto& [name, count] : lines) by_size[fs::file_size(journal / name)] = name;
  ASSERT_EQ(by_size.count(280), 1u) << "the file that reached the limit exactly";
  ASSERT_EQ(by_size.count(270), 1u) << "the file whose tenth line was cut back";
  EXPECT_EQ(lines.at(by_size[280]), 10u);
  EXPECT_EQ(lines.at(by_size[270]), 9u);
  // Polls 11 and 12 failed for the first file, 10 to 12 for the second.
  const auto reports = [&](const std::string& name) {
    std::size_t n = 0;
    const std::string text = "Файл " + name + " не может быть записан!";
    for (auto at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(reports(by_size[280]), 2u) << err;
  EXPECT_EQ(reports(by_size[270]), 3u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 5) << err;
  // The journal's own texts, with no reading's context in front.
  std::istringstream err_lines(err);
  for (std::string line; std::getline(err_lines, line);) {
    EXPECT_EQ(line.rfind("Файл ", 0), 0u) << line;
  }
}

// A bridge whose pressure sensor stops acknowledging its address: the
// logger's standard error names the probe and the reading before the
// window's own text.
struct NackCase {
  const char* name;
  const char* faults;
  const char* err;
};
void PrintTo(const NackCase& c, std::ostream* os) { *os << c.name; }

class LoggerNoticeTest : public LoggerRunTest, public ::testing::WithParamInterface<NackCase> {};

TEST_P(LoggerNoticeTest, NamesTheDeviceAndTheReading) {
  const fs::path bus = dir / "bus.json";
  std::ofstream(bus) << R"({ "devices": [ { "family": "19", "serial": "0000001D2E3F", "i2c": {
    "bmp280": { "temperature": 22.1, "pressure": 100653.27, "faults": )"
                     << GetParam().faults << " } } } ] }";
  Child child({"--bus", bus.string(), "--cycles", "1", "--virtual-time"});
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 0) << err;
  EXPECT_EQ(err, GetParam().err);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

INSTANTIATE_TEST_SUITE_P(Faults, LoggerNoticeTest,
                         ::testing::Values(
                             // The identification read's bad status, shown as the bare status byte.
                             NackCase{"AfterOneAddress", R"({ "absent_after": 1 })",
                                      "010000001D2E3F19 BMP280 identification: 2\n"},
                             // The measurement's first write fails.
                             NackCase{"AfterTwoAddresses", R"({ "absent_after": 2 })",
                                      "010000001D2E3F19 BMP280 pressure: ErrorRead -5\n"},
                             // The identification write fails first, which shows nothing.
                             NackCase{"Never", R"({ "nack": true })", ""}),
                         [](const ::testing::TestParamInfo<NackCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace orvel::logger
