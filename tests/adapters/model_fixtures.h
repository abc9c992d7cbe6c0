#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapters/adapter_test_support.h"
#include "core/virtual_clock.h"
#include "onewire/serial/byte_stream.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/adapters/pty_server.h"
#include "onewire/sim/sim_bus.h"

namespace orvel::testing_support {

// An adapter model with the every-kind bus behind it, driven from the
// test's own thread through an in-memory stream: every byte the driver
// writes can be checked and every reply damaged on purpose.
template <typename Model>
class ModelInThread : public ::testing::Test {
 protected:
  ModelInThread() { AddEveryKind(bus_); }

  // What the driver wrote since the last call.
  std::vector<std::uint8_t> Sent() { return stream_->TakeWritten(); }

  // The driver's way to open its port: a fresh stream to the model, or
  // nothing while the test keeps the adapter unplugged.
  std::unique_ptr<onewire::ByteStream> OpenStream(std::string* error) {
    if (!can_open_) {
      *error = "unplugged";
      return nullptr;
    }
    ++opens_;
    auto stream = std::make_unique<sim::ModelStream>(model_);
    stream_ = stream.get();
    return stream;
  }

  core::VirtualClock clock_;
  sim::SimBus bus_{clock_};
  Model model_{bus_};
  sim::ModelStream* stream_ = nullptr;
  int opens_ = 0;
  bool can_open_ = true;
};

// The same model served on a pseudo-terminal from a thread of its own, so
// the driver goes through the real serial port code.
template <typename Model>
class ModelOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    AddEveryKind(bus_);
    std::string error;
    server_ = sim::PtyServer::Create(model_, &error);
    ASSERT_NE(server_, nullptr) << error;
    server_->Start();
    path_ = server_->path();
  }

  // Runs `f` with the model to itself, as faults are set while it serves.
  template <typename F>
  void WithModel(F f) {
    server_->WithModel(f);
  }

  LockedClock clock_;
  sim::SimBus bus_{clock_};
  Model model_{bus_};
  std::unique_ptr<sim::PtyServer> server_;
  std::string path_;
};

}  // namespace orvel::testing_support
