// The viewer's command line, run as a program: answers it refuses before
// any window opens, with one line on standard error and exit status 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct ViewerRun {
  int status;
  std::string output;  // standard output and error together
};

ViewerRun RunViewer(const std::string& args) {
  // No display: anything that got as far as opening a window would fail.
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=none " +
                              std::string(ORVEL_VIEWER_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "popen failed"};
  std::string output;
  std::array<char, 512> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

struct CliCase {
  const char* name;
  const char* args;
  int status;
  const char* says;
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const CliCase& c, std::ostream* os) { *os << c.name; }

class ViewerCommandLine : public testing::TestWithParam<CliCase> {};

TEST_P(ViewerCommandLine, ExitStatusAndMessage) {
  const CliCase& c = GetParam();
  const ViewerRun run = RunViewer(c.args);
  EXPECT_EQ(run.status, c.status) << run.output;
  EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Args, ViewerCommandLine,
    testing::Values(CliCase{"Version", "--version", 0, "Orvel-viewer V0.2.1"},
                    CliCase{"Help", "--help", 0, "--no-journal"},
                    CliCase{"Unknown", "--frobnicate", 2, "unknown argument '--frobnicate'"},
                    CliCase{"ZeroInterval", "--interval 0", 2, "--interval"},
                    CliCase{"BusAndAdapter", "--bus a.json --adapter ds2490", 2, "--adapter"},
                    CliCase{"MissingJournalFolder", "--journal /nonexistent/orvel --interval 5", 2,
                            "/nonexistent/orvel"},
                    CliCase{"MissingBusFile", "--bus /nonexistent/bus.json --no-journal", 2,
                            "/nonexistent/bus.json"},
                    CliCase{"MissingConfigFile", "--config /nonexistent/orvel.conf", 2,
                            "orvel-viewer: /nonexistent/orvel.conf: cannot be read\n"},
                    CliCase{"LoggerOnlyOption", "--config /dev/null --cycles 3", 2,
                            "unknown argument '--cycles'"}),
    [](const auto& info) { return std::string(info.param.name); });

#ifdef ORVEL_HAVE_MQTT
INSTANTIATE_TEST_SUITE_P(
    Mqtt, ViewerCommandLine,
    testing::Values(
        CliCase{"Help", "--help", 0, "--mqtt-credentials FILE"},
        CliCase{"BadUrl", "--mqtt http://broker --no-journal", 2, "mqtt:// or mqtts://"},
        CliCase{"StationWithoutMqtt", "--station lab --no-journal", 2, "--station needs --mqtt"},
        CliCase{"QueueZero", "--mqtt mqtt://b --mqtt-queue=0 --no-journal", 2,
                "--mqtt-queue needs a whole number"},
        CliCase{"Twice", "--mqtt mqtt://a --mqtt=mqtt://b --no-journal", 2,
                "--mqtt is given twice"},
        CliCase{"NoCredentials", "--mqtt mqtt://b --mqtt-credentials /nonexistent/c --no-journal",
                2, "/nonexistent/c"}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

}  // namespace
