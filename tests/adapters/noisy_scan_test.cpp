#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "adapters/adapter_test_support.h"
#include "core/memory_controls.h"
#include "core/settings.h"
#include "core/virtual_clock.h"
#include "onewire/bus_scanner.h"
#include "onewire/bus_session.h"
#include "onewire/device_catalog.h"
#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/serial/byte_stream.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/faults.h"
#include "onewire/tmex_over_master.h"
#include "support/fake_platform.h"

namespace orvel::onewire {
namespace {

// A serial line whose replies have one bit flipped now and then, as a long
// or badly screened line gives them; the adapter itself stays faithful.
class NoisyStream final : public ByteStream {
 public:
  NoisyStream(std::unique_ptr<ByteStream> line, sim::BitNoise& noise)
      : line_(std::move(line)), noise_(noise) {}

  bool Write(const std::uint8_t* data, std::size_t n) override { return line_->Write(data, n); }
  std::size_t Read(std::uint8_t* data, std::size_t n, int timeout_ms) override {
    const std::size_t got = line_->Read(data, n, timeout_ms);
    for (std::size_t i = 0; i < got; ++i) data[i] = noise_.Apply(data[i]);
    return got;
  }
  bool SetBaud(int baud) override { return line_->SetBaud(baud); }
  void SendBreak() override { line_->SendBreak(); }
  void FlushInput() override { line_->FlushInput(); }
  bool Alive() const override { return line_->Alive(); }

 private:
  std::unique_ptr<ByteStream> line_;
  sim::BitNoise& noise_;
};

// Many scans through a DS2480B whose replies carry 2 % damaged bytes: a
// scan may miss devices, but it never registers one that is not there.
TEST(NoisyDs2480bScan, RegistersOnlyCodesOfTheBus) {
  core::VirtualClock clock;
  sim::SimBus line(clock);
  testing_support::AddEveryKind(line);
  std::set<RomCode> onBus;
  for (const auto& d : sim::ParseBusFile(testing_support::kEveryKindBus, "every-kind").devices) {
    onBus.insert(d->rom());
  }
  sim::Ds2480bModel model(line);
  sim::BitNoise noise(0.02, 2480);
  TmexOverMaster tmex(
      [&](std::int16_t, std::int16_t, std::int32_t*) -> std::shared_ptr<OneWireMaster> {
        return std::make_shared<Ds2480bMaster>(
            [&](std::string*) -> std::unique_ptr<ByteStream> {
              return std::make_unique<NoisyStream>(std::make_unique<sim::ModelStream>(model),
                                                   noise);
            },
            "noisy");
      },
      DefaultPort{}, "test");

  BusSession bus(tmex);
  core::MemoryText stat1("Не подключен");
  core::MemoryList cbbPort, cbAdapter;
  testing_support::FakeDialogs dialogs;
  testing_support::FakePump pump;
  const core::StartupSettings settings{false, {}, 3};
  core::DateTime lastTimeConvert = 0.0;
  DeviceCatalog catalog(bus, stat1);
  BusScanner scanner(bus, catalog, {stat1, cbbPort, cbAdapter}, dialogs, pump, clock, settings,
                     lastTimeConvert);

  int enumerated = 0;
  int complete = 0;
  for (int scan = 0; scan < 400; ++scan) {
    if (scanner.ScanBus() <= 0 || scanner.flgBusSilent) continue;
    ++enumerated;
    std::set<RomCode> seen;
    for (int slot = 0; slot < scanner.FoundDev; ++slot) {
      const RomCode rom = catalog.Asens[static_cast<std::size_t>(slot)].Rom();
      EXPECT_TRUE(RomCrcValid(rom)) << "scan " << scan << ": " << RomText(rom);
      EXPECT_EQ(onBus.count(rom), 1U) << "scan " << scan << ": phantom " << RomText(rom);
      EXPECT_TRUE(seen.insert(rom).second) << "scan " << scan << ": twice " << RomText(rom);
    }
    if (seen == onBus) ++complete;
  }
  // The noise must have been survivable, or the test proves nothing.
  EXPECT_GT(enumerated, 200);
  EXPECT_GT(complete, 100);
  std::printf("noisy scans: %d enumerated, %d complete of 400, %zu damaged codes reported\n",
              enumerated, complete, dialogs.notices.size());
}

}  // namespace
}  // namespace orvel::onewire
