#include "test_broker.h"

#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace orvel::publish::testing {
namespace {

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

int Run(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvel-mqtt-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::optional<TestCertificates> MakeCertificates(const std::filesystem::path& dir,
                                                 std::string& log) {
  const std::string d = dir.string();
  const std::string out = d + "/openssl.log";
  const std::string ext = d + "/san.ext";
  std::ofstream(ext) << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
  const std::string commands =
      "cd '" + d + "' && " +
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
      "-subj '/CN=orvel test CA' -keyout ca.key -out ca.pem && "
      "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
      "-subj '/CN=localhost' -keyout server.key -out server.csr && "
      "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
      "-extfile san.ext -out server.pem";
  if (Run("(" + commands + ") >'" + out + "' 2>&1") != 0) {
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    log = text.str();
    return std::nullopt;
  }
  return TestCertificates{d + "/ca.pem", d + "/server.pem", d + "/server.key"};
}

TestBroker::TestBroker(std::optional<TestCertificates> tls,
                       const std::vector<std::pair<std::string, std::string>>& passwords)
    : tls_(std::move(tls)) {
  port_ = FreePort();
  const std::string passwordFile = (dir_.path() / "passwords").string();
  for (const auto& [user, password] : passwords) {
    std::ofstream(passwordFile, std::ios::app);
    Run("mosquitto_passwd -b '" + passwordFile + "' '" + user + "' '" + password + "' >/dev/null");
  }
  std::ofstream conf(dir_.path() / "mosquitto.conf");
  conf << "listener " << port_ << " 127.0.0.1\n"
       << "allow_anonymous " << (passwords.empty() ? "true" : "false") << "\n"
       << "persistence true\n"
       << "persistence_location " << dir_.path().string() << "/\n"
       << "max_queued_messages 100000\n"
       << "log_dest file " << (dir_.path() / "broker.log").string() << "\n"
       << "log_type all\n";
  // As root the broker would become the mosquitto user and lose this folder.
  if (::geteuid() == 0) conf << "user root\n";
  if (!passwords.empty()) conf << "password_file " << passwordFile << "\n";
  if (tls_) {
    conf << "cafile " << tls_->caFile << "\ncertfile " << tls_->certFile << "\nkeyfile "
         << tls_->keyFile << "\n";
  }
}

TestBroker::~TestBroker() { Stop(true); }

bool TestBroker::Start() {
  const std::string conf = (dir_.path() / "mosquitto.conf").string();
  const char* argv[] = {kMosquitto, "-c", conf.c_str(), nullptr};
  if (::posix_spawn(&pid_, kMosquitto, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    pid_ = -1;
    return false;
  }
  return Eventually([&] { return Accepts(port_); }, std::chrono::seconds(5));
}

void TestBroker::Stop(bool kill) {
  if (pid_ <= 0) return;
  ::kill(pid_, kill ? SIGKILL : SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string TestBroker::url() const {
  return std::string(tls_ ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(port_);
}

std::string TestBroker::log() const {
  std::ifstream in(dir_.path() / "broker.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TestSubscriber::TestSubscriber(int port, std::vector<std::string> filters,
                               std::optional<std::string> caFile,
                               std::optional<std::string> persistentId)
    : filters_(std::move(filters)) {
  mosquitto_lib_init();
  mq_ = mosquitto_new(persistentId ? persistentId->c_str() : nullptr, !persistentId, this);
  mosquitto_int_option(mq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  if (caFile) mosquitto_tls_set(mq_, caFile->c_str(), nullptr, nullptr, nullptr, nullptr);
  mosquitto_connect_callback_set(mq_, &TestSubscriber::OnConnect);
  mosquitto_subscribe_callback_set(mq_, &TestSubscriber::OnSubscribe);
  mosquitto_message_callback_set(mq_, &TestSubscriber::OnMessage);
  mosquitto_reconnect_delay_set(mq_, 0, 0, false);
  mosquitto_connect_async(mq_, "127.0.0.1", port, 30);
  mosquitto_loop_start(mq_);
}

TestSubscriber::~TestSubscriber() {
  mosquitto_disconnect(mq_);
  mosquitto_loop_stop(mq_, true);
  mosquitto_destroy(mq_);
  mosquitto_lib_cleanup();
}

void TestSubscriber::OnConnect(mosquitto* mq, void* self, int rc) {
  if (rc != 0) return;
  for (const std::string& f : static_cast<TestSubscriber*>(self)->filters_) {
    mosquitto_subscribe(mq, nullptr, f.c_str(), 1);
  }
}

void TestSubscriber::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
  auto* s = static_cast<TestSubscriber*>(self);
  std::lock_guard lock(s->mutex_);
  s->subscribed_ = true;
  s->changed_.notify_all();
}

void TestSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
  auto* s = static_cast<TestSubscriber*>(self);
  std::lock_guard lock(s->mutex_);
  s->messages_.push_back(
      {m->topic, std::string(static_cast<const char*>(m->payload), m->payloadlen), m->retain});
  s->changed_.notify_all();
}

bool TestSubscriber::Ready(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, wait, [&] { return subscribed_; });
}

bool TestSubscriber::WaitFor(const std::function<bool(const std::vector<Received>&)>& done,
                             std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, wait, [&] { return done(messages_); });
}

std::vector<Received> TestSubscriber::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<Received> TestSubscriber::On(const std::string& topic) const {
  std::vector<Received> on;
  for (const Received& r : messages()) {
    if (r.topic == topic) on.push_back(r);
  }
  return on;
}

bool KeepSession(int port, const std::string& id) {
  return TestSubscriber(port, {"orvel/#"}, std::nullopt, id).Ready();
}

void BrokerTest::SetUp() {
  if (::access(kMosquitto, X_OK) != 0) {
    GTEST_SKIP() << kMosquitto << " is missing: the MQTT broker tests need Debian's mosquitto "
                 << "package";
  }
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace orvel::publish::testing
