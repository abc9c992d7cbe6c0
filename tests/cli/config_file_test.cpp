// --config FILE through the logger's options: what the file holds, the
// command line over it, and the refusals of a bad file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "logger/options.h"

namespace orvel::logger {
namespace {

namespace fs = std::filesystem;

class ConfigFile : public testing::Test {
 protected:
  void TearDown() override { fs::remove(path_); }

  std::string Write(const std::string& text) {
    std::ofstream(path_, std::ios::binary) << text;
    return path_.string();
  }

  const fs::path path_ =
      fs::temp_directory_path() / ("orvel-config-test-" + std::to_string(::getpid()) + ".conf");
};

struct Form {
  const char* name;
  const char* text;
};

TEST_F(ConfigFile, HoldsWhatTheCommandLineHoldsInTomlAndIni) {
  for (const Form& form :
       {Form{"TOML",
             "bus = \"/srv/bus.json\"\njournal = '/var/lib/orvel'\ninterval = 10\n"
             "cycles = 5\nvirtual-time = true\nscan = false\n"},
        Form{"INI",
             "; the demo\n[default]\nbus=/srv/bus.json\njournal = /var/lib/orvel\n"
             "interval=10\ncycles=5\nvirtual-time=yes\nscan=no\n"}}) {
    SCOPED_TRACE(form.name);
    const std::string file = Write(form.text);
    const auto parsed = ParseOptions({"--config", file});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const Options& o = *parsed.options;
    EXPECT_EQ(o.config, file);
    EXPECT_EQ(o.bus, "/srv/bus.json");
    EXPECT_EQ(o.journal, "/var/lib/orvel");
    EXPECT_EQ(o.interval, 10);
    EXPECT_EQ(o.cycles, 5);
    EXPECT_TRUE(o.virtual_time);
    EXPECT_FALSE(o.scan);
  }
}

TEST_F(ConfigFile, CommandLineOverridesIt) {
  const std::string file = Write("bus = \"a.json\"\ninterval = 10\ncycles = 5\n");
  const auto parsed = ParseOptions({"--interval=20", "--config", file, "--bus", "b.json"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->bus, "b.json");
  EXPECT_EQ(parsed.options->interval, 20);
  EXPECT_EQ(parsed.options->cycles, 5);
}

TEST_F(ConfigFile, GivenTwiceIsRefused) {
  const std::string file = Write("cycles = 5\n");
  const auto parsed = ParseOptions({"--config", file, "--config=" + file});
  EXPECT_FALSE(parsed.options);
  EXPECT_EQ(parsed.error, "--config is given twice");
}

TEST_F(ConfigFile, ItsValuesPassTheSameChecks) {
  struct Case {
    const char* text;
    const char* error;
  };
  for (const Case& c : {
           Case{"interval = 0\n",
                "--interval expects a whole number of seconds above 0, not \"0\""},
           Case{"bus = \"\"\n", "--bus needs a value"},
           Case{"bus = \"a\"\nadapter = \"ds2490\"\n",
                "--bus and --adapter cannot be used together"},
           Case{"virtual-time = true\n", "--virtual-time needs --bus"},
           Case{"virtual-time = off\n", nullptr},
           Case{"scan = maybe\n", "--scan expects true or false, not \"maybe\""},
       }) {
    SCOPED_TRACE(c.text);
    const auto parsed = ParseOptions({"--config", Write(c.text)});
    EXPECT_EQ(parsed.options.has_value(), c.error == nullptr);
    EXPECT_EQ(parsed.error, c.error ? c.error : "");
  }
}

TEST_F(ConfigFile, UnknownAndCommandLineOnlyKeysAreRefused) {
  struct Case {
    const char* text;
    std::string problem;  // after "FILE: "
  };
  // A misspelt key would silently drop a setting, the journal say.
  for (const Case& c :
       {Case{"bus = \"a\"\njornal = \"/j\"\n", "unknown key 'jornal'"},
        Case{"virtual_time = true\n", "unknown key 'virtual_time'"},
        Case{"[site]\nbus = \"a\"\n", "unknown section [site]"},
        Case{"help = true\n", "'help' belongs on the command line only"},
        Case{"config = \"other.conf\"\n", "'config' belongs on the command line only"}}) {
    SCOPED_TRACE(c.text);
    const std::string file = Write(c.text);
    const auto parsed = ParseOptions({"--config", file});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error, file + ": " + c.problem);
  }
}

TEST(ConfigFileRefused, WhenItCannotBeReadOrIsNoFile) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  };
  for (const Case& c : {
           Case{{"--config", "/nonexistent/orvel.conf"}, "/nonexistent/orvel.conf: cannot be read"},
           Case{{"--config", "/"}, "/: cannot be read"},
           // A device would be read for ever.
           Case{{"--config", "/dev/zero"}, "/dev/zero: larger than 1 MiB"},
           Case{{"--config"}, "--config needs a value"},
           Case{{"--config", ""}, "--config needs a value"},
           Case{{"--config", "--scan"}, "--config needs a value"},
       }) {
    SCOPED_TRACE(c.error);
    const auto parsed = ParseOptions(c.args);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error, c.error);
  }
}

}  // namespace
}  // namespace orvel::logger
