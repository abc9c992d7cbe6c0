#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
  explicit Child(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env = {}) {
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

TEST_F(LoggerRunTest, TerminationSignalClosesCleanlyWithoutACutLine) {
  Child child({"--bus", Demo(), "--journal", dir.string(), "--interval", "1", "--virtual-time"});
  std::string first;
  ASSERT_TRUE(child.ReadLine(first));
  EXPECT_TRUE(std::regex_match(first, kPollLine)) << first;
  child.Signal(SIGTERM);
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 0) << err;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string text = Read(entry.path());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << entry.path();
    const auto begin = std::sregex_iterator(text.begin(), text.end(), kJournalLine);
    std::size_t bytes = 0;
    for (auto it = begin; it != std::sregex_iterator(); ++it) bytes += it->length();
    EXPECT_EQ(bytes, text.size()) << "a malformed line in " << entry.path();
  }
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

}  // namespace
}  // namespace orvel::logger
