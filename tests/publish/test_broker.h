#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace orvel::publish::testing {

inline constexpr const char* kMosquitto = "/usr/sbin/mosquitto";

// A folder of its own under the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A throw-away CA and a server certificate it signed for 127.0.0.1 and
// localhost, made with openssl.
struct TestCertificates {
  std::string caFile, certFile, keyFile;
};
// nullopt when openssl failed (its output in `log`).
std::optional<TestCertificates> MakeCertificates(const std::filesystem::path& dir,
                                                 std::string& log);

// A Debian mosquitto on a free loopback port, started and stopped by the test.
class TestBroker {
 public:
  // `tls`: the listener speaks TLS with these certificates; `passwords`:
  // only these users (user, password) are let in. Sessions and retained
  // messages persist across Stop and Start.
  explicit TestBroker(std::optional<TestCertificates> tls = std::nullopt,
                      const std::vector<std::pair<std::string, std::string>>& passwords = {});
  ~TestBroker();
  // False when the broker did not take connections within a few seconds.
  bool Start();
  // SIGTERM (the broker saves its state) or SIGKILL; waits for the end.
  void Stop(bool kill = false);
  int port() const { return port_; }
  std::string url() const;
  std::string log() const;

 private:
  TempDir dir_;
  std::optional<TestCertificates> tls_;
  int port_ = 0;
  pid_t pid_ = -1;
};

struct Received {
  std::string topic;
  std::string payload;
  bool retain = false;
};

// A client that subscribes to `filters` (QoS 1) and keeps what arrives.
// With a `persistentId` the broker keeps its session while it is away.
class TestSubscriber {
 public:
  TestSubscriber(int port, std::vector<std::string> filters,
                 std::optional<std::string> caFile = std::nullopt,
                 std::optional<std::string> persistentId = std::nullopt);
  ~TestSubscriber();
  // Waits until the subscription stands. The waits are long for a loaded
  // machine; they end as soon as what they wait for has come.
  bool Ready(std::chrono::milliseconds wait = std::chrono::seconds(10));
  // Waits until `done` holds for what has arrived; false on timeout.
  bool WaitFor(const std::function<bool(const std::vector<Received>&)>& done,
               std::chrono::milliseconds wait = std::chrono::seconds(10));
  std::vector<Received> messages() const;
  std::vector<Received> On(const std::string& topic) const;

 private:
  static void OnConnect(mosquitto*, void*, int);
  static void OnSubscribe(mosquitto*, void*, int, int, const int*);
  static void OnMessage(mosquitto*, void*, const mosquitto_message*);

  std::vector<std::string> filters_;
  mosquitto* mq_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool subscribed_ = false;
  std::vector<Received> messages_;
};

// Leaves a session with the broker under `id` that subscribes to
// "orvel/#", so that a later subscriber of that id gets what came meanwhile.
bool KeepSession(int port, const std::string& id);

// Tests that need the broker: skipped, with a message, where it is missing.
class BrokerTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

// Waits in small real-time steps until `done` holds; false on timeout.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds wait = std::chrono::seconds(10));

}  // namespace orvel::publish::testing
