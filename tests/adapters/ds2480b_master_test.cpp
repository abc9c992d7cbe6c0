#include "onewire/ds2480b/ds2480b_master.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "adapters/adapter_test_support.h"
#include "adapters/model_fixtures.h"
#include "core/virtual_clock.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/sim_bus.h"
#include "onewire/tmex.h"
#include "onewire/tmex_over_master.h"

namespace orvel::onewire {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The driver against the adapter model in the same thread, so every byte it
// writes can be checked and every reply damaged on purpose.
class Ds2480bMasterTest : public testing_support::ModelInThread<sim::Ds2480bModel> {
 protected:
  Ds2480bMaster master_{[this](std::string* error) { return OpenStream(error); }, "test"};
};

TEST_F(Ds2480bMasterTest, SetupCalibratesAndDetectsWithExactBytes) {
  ASSERT_TRUE(master_.Setup());
  EXPECT_EQ(stream_->breaks, 1);
  // Back to command mode, the timing byte, three parameters, the baud read
  // and one read slot at 9600; then 115.2 kbaud and its read-back.
  EXPECT_EQ(Sent(), (Bytes{0xE3, 0xC1, 0x17, 0x45, 0x5B, 0x0F, 0x91, 0x77, 0x0F}));
  EXPECT_EQ(stream_->baud, 115200);
  EXPECT_EQ(model_.Baud(), 115200);
  EXPECT_EQ(master_.baud(), 115200);
  // A second setup only reads the baud parameter back.
  ASSERT_TRUE(master_.Setup());
  EXPECT_EQ(Sent(), (Bytes{0x0F}));
  EXPECT_EQ(stream_->breaks, 1);
  // A re-synchronisation steps the chip down before the break (a line
  // without one still follows) and goes up again.
  model_.GarbleReplies(1);
  EXPECT_EQ(master_.Reset(), std::nullopt);
  EXPECT_EQ(Sent(), (Bytes{0xC1, 0xE3, 0x71, 0xC1, 0x17, 0x45, 0x5B, 0x0F, 0x91, 0x77, 0x0F}));
  EXPECT_EQ(master_.baud(), 115200);
  EXPECT_EQ(master_.Reset(), true);
}

// The model's line seen through a port: counts the writes, and can garble
// every byte either way while it runs above 9600 baud, where a break
// restarts the chip as on a real line.
class PortStream final : public ByteStream {
 public:
  PortStream(std::unique_ptr<ByteStream> line, sim::Ds2480bModel& model, bool garble_high)
      : line_(std::move(line)), model_(model), garble_high_(garble_high) {}

  bool Write(const std::uint8_t* data, std::size_t n) override {
    ++writes;
    if (!Garbling()) return line_->Write(data, n);
    const Bytes junk(n, 0x00);
    return line_->Write(junk.data(), n);
  }
  std::size_t Read(std::uint8_t* data, std::size_t n, int timeout_ms) override {
    const std::size_t got = line_->Read(data, n, timeout_ms);
    if (Garbling()) std::fill(data, data + got, 0x00);
    return got;
  }
  bool SetBaud(int b) override {
    baud = b;
    return line_->SetBaud(b);
  }
  void SendBreak() override {
    line_->SendBreak();
    if (garble_high_) model_.Break();
  }
  void FlushInput() override { line_->FlushInput(); }
  bool Alive() const override { return line_->Alive(); }

  int writes = 0;
  int baud = 9600;

 private:
  bool Garbling() const { return garble_high_ && baud != 9600; }

  std::unique_ptr<ByteStream> line_;
  sim::Ds2480bModel& model_;
  bool garble_high_;
};

TEST_F(Ds2480bMasterTest, AnAdapterOrPortThatStaysBehindKeeps9600) {
  struct Case {
    const char* what;
    bool ignores_baud_setting;
    bool port_garbles_high;
  };
  const Case cases[] = {
      {"adapter keeps 9600", true, false},
      {"port garbles at 115.2k", false, true},
  };
  for (const auto& c : cases) {
    model_.PowerUp();
    model_.IgnoreBaudChange(c.ignores_baud_setting);
    PortStream* port = nullptr;
    Ds2480bMaster master(
        [&](std::string* error) {
          auto p = std::make_unique<PortStream>(OpenStream(error), model_, c.port_garbles_high);
          port = p.get();
          return p;
        },
        "test");
    ASSERT_TRUE(master.Setup()) << c.what;
    EXPECT_EQ(master.baud(), 9600) << c.what;
    EXPECT_EQ(port->baud, 9600) << c.what;
    EXPECT_EQ(model_.Baud(), 9600) << c.what;
    EXPECT_EQ(master.last_error(), LinkError::kNone) << c.what;
    EXPECT_EQ(master.Reset(), true) << c.what;
    EXPECT_EQ(master.TouchByte(0xCC), 0xCC) << c.what;
    // No second try at the high speed until the port is reopened.
    Sent();
    ASSERT_TRUE(master.Setup()) << c.what;
    EXPECT_EQ(Sent(), (Bytes{0xE3, 0x0F})) << c.what;
    EXPECT_EQ(port->baud, 9600) << c.what;
  }
}

TEST_F(Ds2480bMasterTest, ABlockIsOneWriteWithItsE3DoubledAndEveryEchoChecked) {
  PortStream* port = nullptr;
  auto master = std::make_shared<Ds2480bMaster>(
      [&](std::string* error) {
        auto p = std::make_unique<PortStream>(OpenStream(error), model_, false);
        port = p.get();
        return p;
      },
      "test");
  ASSERT_TRUE(master->Setup());
  ASSERT_TRUE(master->Reset());
  Sent();
  bus_.ResetTraffic();
  int writes = port->writes;
  std::array<std::uint8_t, 5> block = {0x55, 0xE3, 0x01, 0xFF, 0x00};
  ASSERT_TRUE(master->TouchBlock(block.data(), block.size()));
  EXPECT_EQ(port->writes, writes + 1);
  EXPECT_EQ(Sent(), (Bytes{0xE1, 0x55, 0xE3, 0xE3, 0x01, 0xFF, 0x00}));
  EXPECT_EQ(block, (std::array<std::uint8_t, 5>{0x55, 0xE3, 0x01, 0xFF, 0x00}));
  EXPECT_EQ(bus_.traffic().bytes, 5U);
  // A 1 read where a 0 was written, in any byte of the block, fails it.
  for (int damaged = 0; damaged < 3; ++damaged) {
    const int before = master->resyncs();
    model_.GarbleReplies(1, damaged);
    std::array<std::uint8_t, 3> zeros = {0x00, 0x00, 0x00};
    EXPECT_FALSE(master->TouchBlock(zeros.data(), zeros.size())) << damaged;
    EXPECT_EQ(master->resyncs(), before + 1) << damaged;
    EXPECT_EQ(master->last_error(), LinkError::kIo) << damaged;
  }
  // Access: the reset on its own (Match ROM only after a presence), then
  // Match ROM and the code in one write, the same bytes as byte by byte.
  TmexOverMaster tmex([&](std::int16_t, std::int16_t, std::int32_t*) { return master; },
                      DefaultPort{1, 5}, "test");
  const std::int32_t h = tmex.TMExtendedStartSession(1, 5, nullptr);
  StateBuffer state{};
  ASSERT_EQ(tmex.TMFirst(h, state.data()), 1);
  std::array<std::int16_t, 8> rom{};
  ASSERT_EQ(tmex.TMRom(h, state.data(), rom.data()), 1);
  Sent();
  writes = port->writes;
  ASSERT_EQ(tmex.TMAccess(h, state.data()), 1);
  Bytes expected = {0xC1, 0xE1, 0x55};
  for (const std::int16_t b : rom) {
    expected.push_back(static_cast<std::uint8_t>(b));
    if (b == 0xE3) expected.push_back(0xE3);
  }
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(port->writes, writes + 2);
}

TEST(Ds2480bModel, LineSpeedChangesAsTheDatasheetSays) {
  core::VirtualClock clock;
  sim::SimBus bus(clock);
  sim::Ds2480bModel model(bus);
  std::vector<std::uint8_t> out;
  model.Receive(0xC1, 9600, out);  // the timing byte
  ASSERT_TRUE(out.empty());
  // 115.2 kbaud: the answer already leaves at the new speed, garbled for a
  // host still at 9600.
  model.Receive(0x77, 9600, out);
  EXPECT_EQ(out, (Bytes{0x00}));
  EXPECT_EQ(model.Baud(), 115200);
  // A byte at the old speed arrives as 0x00, no command; at the new one the
  // read-back says 115.2k.
  out.clear();
  model.Receive(0x0F, 9600, out);
  EXPECT_TRUE(out.empty());
  model.Receive(0x0F, 115200, out);
  EXPECT_EQ(out, (Bytes{0x06}));
  // Serial time: 10 bits a byte at the speed each one crossed with.
  const double at9600 = 1e7 / 9600, at115k = 1e7 / 115200;
  EXPECT_DOUBLE_EQ(model.serial_us(), 2 * at9600 + at115k + at115k + 2 * at115k);
  // A break restarts it at 9600.
  model.Break();
  EXPECT_EQ(model.Baud(), 9600);
}

TEST_F(Ds2480bMasterTest, ModesSwitchOnlyWhenNeededAndDataE3IsDoubled) {
  ASSERT_TRUE(master_.Setup());
  Sent();
  EXPECT_EQ(master_.Reset(), true);
  EXPECT_EQ(Sent(), (Bytes{0xC1}));
  EXPECT_EQ(master_.TouchByte(0xCC), 0xCC);
  EXPECT_EQ(master_.TouchByte(0xE3), 0xE3);
  EXPECT_EQ(Sent(), (Bytes{0xE1, 0xCC, 0xE3, 0xE3}));
  EXPECT_EQ(master_.TouchBit(1), 1);
  EXPECT_EQ(Sent(), (Bytes{0xE3, 0x91}));
  EXPECT_EQ(bus_.traffic().bytes, 2U);
}

TEST_F(Ds2480bMasterTest, StrongPullupFollowsTheLastBitOfTheArmedByte) {
  ASSERT_TRUE(master_.Setup());
  Sent();
  master_.ArmStrongPullupAfterNextByte();
  EXPECT_EQ(master_.TouchByte(0x44), 0x44);
  // Duration "until ended", then 0x44 as eight bit commands, least
  // significant first, the last with the pull-up flag.
  EXPECT_EQ(Sent(), (Bytes{0x3F, 0x81, 0x81, 0x91, 0x81, 0x81, 0x81, 0x91, 0x83}));
  EXPECT_TRUE(master_.StrongPullupActive());
  EXPECT_TRUE(bus_.StrongPullupActive());
  clock_.Advance(750'000);
  master_.SetNormalLevel();
  EXPECT_EQ(Sent(), (Bytes{0xF1}));
  EXPECT_FALSE(bus_.StrongPullupActive());
  EXPECT_GE(bus_.traffic().strong_pullup_us, 750'000);
  // The duration is set once per calibration.
  master_.ArmStrongPullupAfterNextByte();
  master_.TouchByte(0x44);
  EXPECT_EQ(Sent().front(), 0x81);
  // Any other bus operation ends the pull-up first.
  EXPECT_EQ(master_.Reset(), true);
  EXPECT_EQ(Sent(), (Bytes{0xF1, 0xC1}));
}

TEST_F(Ds2480bMasterTest, PulseAtOnceIsAnsweredWhenItEnds) {
  ASSERT_TRUE(master_.Setup());
  Sent();
  master_.SetStrongPullupNow();
  EXPECT_EQ(Sent(), (Bytes{0x3F, 0xED}));
  EXPECT_TRUE(bus_.StrongPullupActive());
  clock_.Advance(100'000);
  master_.SetNormalLevel();
  EXPECT_EQ(Sent(), (Bytes{0xF1}));
  EXPECT_FALSE(bus_.StrongPullupActive());
  EXPECT_EQ(bus_.traffic().strong_pullup_us, 100'000);
  // The pulse's answer was taken: the next reply belongs to the next command.
  EXPECT_EQ(master_.Reset(), true);
  EXPECT_EQ(master_.resyncs(), 1);
}

TEST_F(Ds2480bMasterTest, DamagedRepliesAreCaughtWhereTheProtocolAllows) {
  // Each case damages the first answer of one operation; every one must
  // fail it and re-synchronise, never pass a wrong value on.
  struct Case {
    const char* what;
    std::function<bool(Ds2480bMaster&)> op;
  };
  const Case cases[] = {
      {"reset", [](Ds2480bMaster& m) { return m.Reset().has_value(); }},
      {"bit", [](Ds2480bMaster& m) { return m.TouchBit(1).has_value(); }},
      {"data echo of a 0 bit", [](Ds2480bMaster& m) { return m.TouchByte(0x00).has_value(); }},
      {"search", [](Ds2480bMaster& m) { return m.SearchPath(RomCode{}).has_value(); }},
      {"pulled byte",
       [](Ds2480bMaster& m) {
         m.ArmStrongPullupAfterNextByte();
         return m.TouchByte(0x44).has_value();
       }},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(master_.Setup()) << c.what;
    const int before = master_.resyncs();
    model_.GarbleReplies(1);
    EXPECT_FALSE(c.op(master_)) << c.what;
    EXPECT_EQ(master_.resyncs(), before + 1) << c.what;
    EXPECT_EQ(master_.last_error(), LinkError::kIo) << c.what;
    master_.SetNormalLevel();
  }
}

TEST_F(Ds2480bMasterTest, SearchPathIsOneWrite) {
  ASSERT_TRUE(master_.Setup());
  Sent();
  bus_.ResetTraffic();
  const auto path = master_.SearchPath(RomCode{});
  ASSERT_TRUE(path);
  const Bytes sent = Sent();
  // Reset, Search ROM in data mode, accelerator on, 16 frame bytes (no
  // 0xE3 among them), accelerator off.
  Bytes expected = {0xC1, 0xE1, 0xF0, 0xE3, 0xB1, 0xE1};
  expected.insert(expected.end(), 16, 0x00);
  expected.insert(expected.end(), {0xE3, 0xA1});
  EXPECT_EQ(sent, expected);
  EXPECT_TRUE(path->complete);
  EXPECT_EQ(bus_.traffic().resets, 1U);
  EXPECT_EQ(bus_.traffic().bytes, 1U);
}

// The accelerator must take the same paths as 64 plain search steps on an
// identical bus, whatever the choices.
TEST_F(Ds2480bMasterTest, AcceleratedSearchMatchesPlainSearchSteps) {
  core::VirtualClock clock;
  sim::SimBus plain(clock);
  testing_support::AddEveryKind(plain);
  ASSERT_TRUE(master_.Setup());
  std::vector<RomCode> choices = {
      RomCode{}, RomCode{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      MakeRom(0x19, 0x0000001D2E40), MakeRom(0x26, 0x000000A1B2C3), MakeRom(0x19, 0x0000001D2E41)};
  for (const auto& c : choices) {
    const auto fast = master_.SearchPath(c);
    const auto slow = plain.SearchPath(c);
    ASSERT_TRUE(fast && slow);
    EXPECT_EQ(fast->rom, slow->rom);
    EXPECT_EQ(fast->conflicts, slow->conflicts);
    EXPECT_EQ(fast->complete, slow->complete);
  }
}

TEST_F(Ds2480bMasterTest, GarbledReplyFailsTheOperationAndResynchronises) {
  ASSERT_TRUE(master_.Setup());
  model_.GarbleReplies(1);
  EXPECT_EQ(master_.Reset(), std::nullopt);
  EXPECT_EQ(master_.last_error(), LinkError::kIo);
  EXPECT_EQ(stream_->breaks, 2);  // re-synchronised at once
  EXPECT_EQ(master_.Reset(), true);
  EXPECT_EQ(master_.TouchByte(0xCC), 0xCC);
}

TEST_F(Ds2480bMasterTest, MissingRepliesFailFastUntilTheAdapterAnswersAgain) {
  ASSERT_TRUE(master_.Setup());
  stream_->drop_replies = true;
  EXPECT_EQ(master_.TouchByte(0xCC), std::nullopt);
  const std::size_t written = stream_->written.size();
  // The re-synchronisation failed too: nothing more is sent until Setup.
  EXPECT_EQ(master_.Reset(), std::nullopt);
  EXPECT_EQ(master_.TouchBit(1), std::nullopt);
  EXPECT_EQ(stream_->written.size(), written);
  EXPECT_FALSE(master_.Setup());
  EXPECT_EQ(master_.last_error(), LinkError::kNoAdapter);
  stream_->drop_replies = false;
  EXPECT_TRUE(master_.Setup());
  EXPECT_EQ(master_.Reset(), true);
}

TEST_F(Ds2480bMasterTest, AModelStillInDataModeIsRecoveredWithoutABreak) {
  ASSERT_TRUE(master_.Setup());
  // A mode switch the driver does not know of, as after a lost byte: its
  // next bit command comes back as a data echo, which no bit reply can be.
  const std::uint8_t to_data = 0xE1;
  stream_->Write(&to_data, 1);
  ASSERT_TRUE(model_.in_data_mode());
  EXPECT_EQ(master_.TouchBit(1), std::nullopt);
  EXPECT_EQ(master_.last_error(), LinkError::kIo);
  // The pseudo-terminal carried no break, yet the model is back in command
  // mode and answers.
  EXPECT_FALSE(model_.in_data_mode());
  EXPECT_EQ(master_.Reset(), true);
}

TEST_F(Ds2480bMasterTest, UnpluggedLineIsReopenedBySetup) {
  ASSERT_TRUE(master_.Setup());
  stream_->hung_up = true;
  can_open_ = false;
  EXPECT_EQ(master_.Reset(), std::nullopt);
  EXPECT_FALSE(master_.Setup());
  EXPECT_EQ(master_.last_message(), "unplugged");
  can_open_ = true;
  EXPECT_TRUE(master_.Setup());
  EXPECT_EQ(opens_, 2);
  EXPECT_EQ(master_.Reset(), true);
}

TEST_F(Ds2480bMasterTest, ShortedBusReportsNoPresence) {
  ASSERT_TRUE(master_.Setup());
  model_.SetShorted(true);
  EXPECT_EQ(master_.Reset(), false);
  EXPECT_EQ(master_.last_error(), LinkError::kShorted);
  model_.SetShorted(false);
  EXPECT_EQ(master_.Reset(), true);
  EXPECT_EQ(master_.last_error(), LinkError::kNone);
}

}  // namespace
}  // namespace orvel::onewire
