// Writes the seed tapes of the adapter fuzz targets: the adapter models'
// own answers to one pass of the fuzz script, on the bus of a bus file and
// on an empty and a shorted bus.
//   make_reply_tapes BUS_FILE CORPUS_DIR
#include <cstdint>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "adapter_script.h"
#include "core/virtual_clock.h"
#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/ds2490/ds2490_master.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/ds2490_model.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/bus_file.h"
#include "reply_tape.h"

namespace {

using namespace orvel;

class RecordingStream final : public onewire::ByteStream {
 public:
  RecordingStream(sim::SerialDeviceModel& model, fuzz::TapeRecorder& tape)
      : inner_(model), tape_(tape) {}
  bool Write(const std::uint8_t* data, std::size_t n) override {
    const bool ok = inner_.Write(data, n);
    tape_.Outcome(ok);
    return ok;
  }
  std::size_t Read(std::uint8_t* data, std::size_t n, int timeout_ms) override {
    const std::size_t got = inner_.Read(data, n, timeout_ms);
    tape_.Reply(data, static_cast<int>(got));
    return got;
  }
  bool SetBaud(int baud) override {
    const bool ok = inner_.SetBaud(baud);
    tape_.Outcome(ok);
    return ok;
  }
  void SendBreak() override { inner_.SendBreak(); }
  void FlushInput() override { inner_.FlushInput(); }
  bool Alive() const override { return inner_.Alive(); }

 private:
  sim::ModelStream inner_;
  fuzz::TapeRecorder& tape_;
};

class RecordingTransport final : public onewire::UsbTransport {
 public:
  RecordingTransport(sim::Ds2490Model& model, fuzz::TapeRecorder& tape)
      : model_(model), tape_(tape) {}
  bool Control(std::uint8_t request, std::uint16_t value, std::uint16_t index) override {
    const bool ok = model_.Control(request, value, index);
    tape_.Outcome(ok);
    return ok;
  }
  int BulkOut(const std::uint8_t* data, int length) override {
    const int n = model_.BulkOut(data, length);
    tape_.Outcome(n == length);
    return n;
  }
  int BulkIn(std::uint8_t* data, int length) override {
    const int n = model_.BulkIn(data, length);
    tape_.Reply(data, n);
    return n;
  }
  int InterruptIn(std::uint8_t* data, int length) override {
    const int n = model_.InterruptIn(data, length);
    tape_.Reply(data, n);
    return n;
  }

 private:
  sim::Ds2490Model& model_;
  fuzz::TapeRecorder& tape_;
};

void Save(const std::string& path, const fuzz::TapeRecorder& tape) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(tape.tape.data()),
            static_cast<std::streamsize>(tape.tape.size()));
  std::cout << path << ": " << tape.tape.size() << " bytes\n";
}

void Record(const std::string& bus_file, bool shorted, const std::string& out_dir,
            const std::string& name) {
  {
    core::VirtualClock clock;
    sim::SimBus bus(clock);
    if (!bus_file.empty()) {
      for (auto& d : sim::LoadBusFile(bus_file).devices) bus.Add(std::move(d));
    }
    bus.SetShorted(shorted);
    sim::Ds2480bModel model(bus);
    fuzz::TapeRecorder tape;
    onewire::Ds2480bMaster master(
        [&](std::string*) { return std::make_unique<RecordingStream>(model, tape); }, "model",
        [](int) {});
    fuzz::RunAdapterPass(master);
    Save(out_dir + "/ds2480b/" + name, tape);
  }
  {
    core::VirtualClock clock;
    sim::SimBus bus(clock);
    if (!bus_file.empty()) {
      for (auto& d : sim::LoadBusFile(bus_file).devices) bus.Add(std::move(d));
    }
    sim::Ds2490Model model(bus);
    model.SetShorted(shorted);
    fuzz::TapeRecorder tape;
    onewire::Ds2490Master master(
        [&](std::string*) { return std::make_unique<RecordingTransport>(model, tape); }, "model");
    fuzz::RunAdapterPass(master, [&] { master.TouchBlock(fuzz::kBlock); });
    Save(out_dir + "/ds2490/" + name, tape);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_reply_tapes BUS_FILE CORPUS_DIR\n";
    return 2;
  }
  Record(argv[1], false, argv[2], "bus-file");
  Record("", false, argv[2], "empty-bus");
  Record(argv[1], true, argv[2], "shorted");
  return 0;
}
