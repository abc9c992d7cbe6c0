#pragma once
// Running the independent adapter emulators and the console logger as child
// processes, and reading what they leave behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace orvel::testing_support {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A child process with its output in files and a few variables added to
// the environment.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
        const fs::path& out, const fs::path& err) {
    std::vector<std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string var = *e;
      if (env.count(var.substr(0, var.find('='))) == 0) vars.push_back(var);
    }
    for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& v : vars) envp.push_back(const_cast<char*>(v.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (running()) {
      Signal(SIGKILL);
      Wait();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool running() const { return pid_ > 0 && status_ < 0; }
  // Without waiting: has it ended?
  bool Ended() {
    int raw = 0;
    if (running() && ::waitpid(pid_, &raw, WNOHANG) == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 256;
    }
    return !running();
  }
  void Signal(int signal) const {
    if (running()) ::kill(pid_, signal);
  }
  // The exit status (-1 when it ended otherwise).
  int Wait() {
    int raw = 0;
    if (running() && ::waitpid(pid_, &raw, 0) == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 256;
    }
    return status_ == 256 ? -1 : status_;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Polls `done` every 50 ms for at most `limit`.
inline bool Within(std::chrono::seconds limit, const std::function<bool()>& done) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// The table code of a device (CRC first, family last) from the emulator's
// bus-order spelling.
inline std::string TableCode(const std::string& bus_order) {
  std::string code;
  for (std::size_t i = bus_order.size(); i >= 2; i -= 2) code += bus_order.substr(i - 2, 2);
  return code;
}

// Journal values as numbers, in file order.
inline std::vector<double> JournalValues(const fs::path& file) {
  std::vector<double> values;
  for (const auto& line : Lines(Slurp(file))) {
    const auto semicolon = line.find(';');
    if (semicolon == std::string::npos) continue;
    // A line still being written may hold no number yet.
    const char* text = line.c_str() + semicolon + 1;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text) values.push_back(value);
  }
  return values;
}

// The journal keeps two decimals.
inline bool SameReading(double journal, double oracle) {
  return std::fabs(journal - oracle) <= 0.005 + 1e-9;
}

// An emulator's oracle: `argv` run with --describe, every device with the
// readings a client shows.
inline nlohmann::json DescribeBus(std::vector<std::string> argv,
                                  const std::map<std::string, std::string>& env,
                                  const fs::path& dir) {
  argv.push_back("--describe");
  Child child(argv, env, dir / "describe.json", dir / "describe.err");
  EXPECT_EQ(child.Wait(), 0) << Slurp(dir / "describe.err");
  return nlohmann::json::parse(Slurp(dir / "describe.json"));
}

}  // namespace orvel::testing_support
