#include "onewire/ds2480b/ds2480b_master.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(stream_->baud, 9600);
  // Back to command mode, the timing byte, three parameters, the baud read
  // and one read slot.
  EXPECT_EQ(Sent(), (Bytes{0xE3, 0xC1, 0x17, 0x45, 0x5B, 0x0F, 0x91}));
  // A second setup only reads the baud parameter back.
  ASSERT_TRUE(master_.Setup());
  EXPECT_EQ(Sent(), (Bytes{0x0F}));
  EXPECT_EQ(stream_->breaks, 1);
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
