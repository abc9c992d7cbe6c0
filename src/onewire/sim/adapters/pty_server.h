#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "onewire/sim/adapters/serial_device_model.h"

namespace orvel::sim {

// Serves a serial device model on a pseudo-terminal: a driver opens the
// slave path like a serial port; the bytes it writes reach the model and
// the model's answers come back. The server keeps the slave open itself, so
// a driver may close and reopen it without a hang-up.
class PtyServer {
 public:
  // nullptr with a reason in *error when no pseudo-terminal can be had.
  static std::unique_ptr<PtyServer> Create(SerialDeviceModel& model, std::string* error);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  const std::string& path() const { return path_; }

  // Handles what has arrived, waiting at most timeout_ms for it; false when
  // the line broke.
  bool ServeOnce(int timeout_ms);
  // Or serve from a thread of its own until Stop or destruction.
  void Start();
  void Stop();
  // Runs f with the model to itself (faults are set this way while serving).
  template <typename F>
  void WithModel(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f();
  }

 private:
  PtyServer(SerialDeviceModel& model, int master, int slave, std::string path)
      : model_(model), master_(master), slave_(slave), path_(std::move(path)) {}

  SerialDeviceModel& model_;
  int master_;
  int slave_;
  std::string path_;
  std::mutex mutex_;
  std::atomic<bool> running_{false};
  std::thread thread_;
  std::vector<std::uint8_t> out_;
};

}  // namespace orvel::sim
