// The logger's word to systemd: READY=1 once the adapter has answered,
// WATCHDOG=1 from the loop only under a watchdog, STOPPING=1 at the end.
#include "logger/service_notifier.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"
#include "logger/run_command.h"

namespace orvel::logger {
namespace {

namespace fs = std::filesystem;

class RecordingNotifier final : public ServiceNotifier {
 public:
  void Ready() override { events.push_back("ready"); }
  void Alive() override {
    if (events.empty() || events.back() != "alive") events.push_back("alive");
  }
  void Stopping() override { events.push_back("stopping"); }
  std::vector<std::string> events;  // runs of "alive" as one
};

struct RunCase {
  const char* bus;
  std::vector<std::string> events;
};

TEST(LoggerService, ReadyOnlyOnceTheAdapterAnsweredAndStoppingAtTheEnd) {
  for (const RunCase& c : {RunCase{"demo.json", {"alive", "ready", "alive", "stopping"}},
                           // No adapter: never ready, so systemd fails the start and retries.
                           RunCase{"adapter-absent.json", {"alive", "stopping"}}}) {
    SCOPED_TRACE(c.bus);
    core::VirtualClock clock;
    Options options;
    options.bus = std::string(ORVEL_EXAMPLES_DIR) + "/" + c.bus;
    options.virtual_time = true;
    options.cycles = 3;
    auto driver = drivers::OpenDriver({options.bus, std::nullopt}, clock);
    std::ostringstream out, err;
    RecordingNotifier notifier;
    RunPolls(*driver, clock, &clock, options, out, err, &notifier);
    EXPECT_EQ(notifier.events, c.events);
  }
}

// A datagram socket standing in for systemd's NOTIFY_SOCKET.
class NotifySocket {
 public:
  NotifySocket() {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path_.copy(address.sun_path, sizeof address.sun_path - 1);
    fs::remove(path_);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::setenv("NOTIFY_SOCKET", path_.c_str(), 1);
  }
  ~NotifySocket() {
    ::unsetenv("NOTIFY_SOCKET");
    ::close(fd_);
    fs::remove(path_);
  }
  // Every message sent so far.
  std::vector<std::string> Messages() {
    std::vector<std::string> messages;
    char buffer[256];
    for (ssize_t n; (n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0;) {
      messages.emplace_back(buffer, static_cast<std::size_t>(n));
    }
    return messages;
  }

 private:
  std::string path_ =
      (fs::temp_directory_path() / ("orvel-notify-" + std::to_string(::getpid()))).string();
  int fd_ = -1;
};

TEST(LoggerService, SystemdHearsReadyWatchdogAndStopping) {
#if !defined(ORVEL_HAVE_SYSTEMD)
  GTEST_SKIP() << "built without libsystemd";
#endif
  struct Case {
    const char* watchdog_usec;  // nullptr: no watchdog
    std::vector<std::string> messages;
  };
  for (const Case& c : {Case{nullptr, {"READY=1", "STOPPING=1"}},
                        // Ten seconds: the second tick at once is not passed on.
                        Case{"10000000", {"READY=1", "WATCHDOG=1", "STOPPING=1"}}}) {
    SCOPED_TRACE(c.watchdog_usec ? c.watchdog_usec : "no watchdog");
    NotifySocket socket;
    if (c.watchdog_usec) ::setenv("WATCHDOG_USEC", c.watchdog_usec, 1);
    auto notifier = SystemServiceNotifier();
    notifier->Ready();
    notifier->Alive();
    notifier->Alive();
    notifier->Stopping();
    ::unsetenv("WATCHDOG_USEC");
    EXPECT_EQ(socket.Messages(), c.messages);
  }
}

}  // namespace
}  // namespace orvel::logger
