// The simulated line below the search: ROM commands, selection, presence
// faults, the strong pull-up and the bit-flip fault, seen through the
// driver operations.
#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <optional>

#include "core/virtual_clock.h"
#include "onewire/sim/byte_device.h"
#include "onewire/sim/devices/rom_only_device.h"
#include "onewire/sim/simulated_driver.h"

namespace orvel::sim {
namespace {

using onewire::RomCode;

// Answers the command 0xBE with `reply`, then listens; 0xB4 is answered by
// one lone bit.
class ReplyDevice final : public ByteDevice {
 public:
  ReplyDevice(RomCode rom, std::uint8_t reply, Faults faults = {})
      : ByteDevice(rom, faults), reply_(reply) {}
  int commands = 0;

 protected:
  void OnFunctionStart(SimTime) override { command_.reset(); }
  std::optional<std::uint8_t> NextByte(SimTime) override {
    if (command_ == 0xBE) return reply_;
    return std::nullopt;
  }
  std::optional<int> NextBit(SimTime) override {
    if (command_ == 0xB4) return 0;
    return std::nullopt;
  }
  void ByteReceived(std::uint8_t line, SimTime) override {
    if (!command_) {
      command_ = line;
      ++commands;
    }
  }

 private:
  std::uint8_t reply_;
  std::optional<std::uint8_t> command_;
};

class SimLink : public testing::Test {
 protected:
  SimLink() { handle_ = tmex().TMExtendedStartSession(1, 6, nullptr); }
  onewire::TmexOverMaster& tmex() { return driver_.tmex(); }
  ReplyDevice& AddReply(std::uint64_t serial, std::uint8_t reply, Faults faults = {}) {
    return static_cast<ReplyDevice&>(driver_.bus().Add(
        std::make_unique<ReplyDevice>(onewire::MakeRom(0x26, serial), reply, faults)));
  }
  void Select(const RomCode& rom) {
    std::int16_t buf[9] = {};
    for (std::size_t i = 0; i < 8; ++i) buf[i] = rom[i];
    ASSERT_EQ(tmex().TMRom(handle_, state_.data(), buf), 1);
  }

  core::VirtualClock clock_;
  SimulatedDriver driver_{clock_};
  onewire::StateBuffer state_{};
  std::int32_t handle_ = 0;
};

TEST_F(SimLink, MatchRomSelectsOneDeviceAndSkipRomTheOnlyOne) {
  auto& a = AddReply(1, 0xA5);
  auto& b = AddReply(2, 0x3C);
  Select(a.rom());
  EXPECT_EQ(tmex().TMAccess(handle_, state_.data()), 1);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xBE), 0xBE);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xFF), 0xA5);
  Select(b.rom());
  EXPECT_EQ(tmex().TMStrongAccess(handle_, state_.data()), 1);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xBE), 0xBE);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xFF), 0x3C);
  EXPECT_EQ(a.commands, 1);
  EXPECT_EQ(b.commands, 1);

  // Skip ROM reaches every device: two answers are ANDed on the line.
  EXPECT_EQ(tmex().TMTouchReset(handle_), 1);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xCC), 0xCC);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xBE), 0xBE);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xFF), 0xA5 & 0x3C);
  // A lone-bit answer.
  EXPECT_EQ(tmex().TMTouchReset(handle_), 1);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xCC), 0xCC);
  EXPECT_EQ(tmex().TMTouchByte(handle_, 0xB4), 0xB4);
  EXPECT_EQ(tmex().TMTouchBit(handle_, 1), 0);
}

TEST_F(SimLink, ReadRomReturnsTheCodeOfTheOnlyDevice) {
  const RomCode rom = onewire::MakeRom(0x01, 0xBADCAFE);
  driver_.bus().Add(std::make_unique<RomOnlyDevice>(rom, Faults{}));
  ASSERT_EQ(tmex().TMTouchReset(handle_), 1);
  ASSERT_EQ(tmex().TMTouchByte(handle_, 0x33), 0x33);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(tmex().TMTouchByte(handle_, 0xFF), rom[i]);
}

TEST_F(SimLink, AbsentAfterAndReturnsAfterCountPresenceCycles) {
  Faults faults;
  faults.absent_after = 2;
  faults.returns_after = 4;
  AddReply(1, 0, faults);
  std::vector<int> presence;
  for (int i = 0; i < 6; ++i) presence.push_back(tmex().TMTouchReset(handle_));
  EXPECT_EQ(presence, (std::vector<int>{1, 1, 0, 0, 1, 1}));

  Faults gone;
  gone.absent_after = 0;
  ReplyDevice& never = AddReply(2, 0, gone);
  Select(never.rom());
  EXPECT_EQ(tmex().TMStrongAccess(handle_, state_.data()), 0);
}

TEST_F(SimLink, ASearchPassCostsOneResetAndTwoHundredSlots) {
  AddReply(1, 0);
  driver_.bus().ResetTraffic();
  ASSERT_EQ(tmex().TMFirst(handle_, state_.data()), 1);
  const BusTraffic& t = driver_.bus().traffic();
  EXPECT_EQ(t.resets, 1U);
  EXPECT_EQ(t.slots, 8U + 64U * 3U);
  EXPECT_EQ(t.bus_us, kResetMicros + 200 * kSlotMicros);
  EXPECT_EQ(tmex().TMNext(handle_, state_.data()), 0);  // the last device: no pass
  EXPECT_EQ(t.resets, 1U);
}

TEST_F(SimLink, StrongPullupStartsAfterTheNextByteAndEndsWithTheNextSlot) {
  AddReply(1, 0);
  ASSERT_EQ(tmex().TMTouchReset(handle_), 1);
  EXPECT_EQ(tmex().TMOneWireLevel(handle_, 1, 1, 2), 1);
  EXPECT_EQ(tmex().TMOneWireLevel(handle_, 0, 1, 1), 0);  // armed, not yet on
  tmex().TMTouchByte(handle_, 0xCC);
  EXPECT_EQ(tmex().TMOneWireLevel(handle_, 0, 1, 1), 1);
  clock_.Advance(750000);
  EXPECT_EQ(tmex().TMOneWireLevel(handle_, 1, 0, 0), 0);
  EXPECT_EQ(driver_.bus().traffic().strong_pullup_us, 750000);
  EXPECT_EQ(tmex().TMOneWireLevel(handle_, 0, 1, 1), 0);
}

TEST_F(SimLink, BitFlipFaultChangesExactlyOneBitOfAFunctionByte) {
  Faults noisy;
  noisy.crc_error_rate = 1.0;
  noisy.seed = 7;
  auto& d = AddReply(1, 0xA5, noisy);
  for (int i = 0; i < 8; ++i) {
    Select(d.rom());
    ASSERT_EQ(tmex().TMAccess(handle_, state_.data()), 1);
    tmex().TMTouchByte(handle_, 0xBE);
    const auto read = static_cast<unsigned>(tmex().TMTouchByte(handle_, 0xFF));
    EXPECT_EQ(std::popcount(read ^ 0xA5U), 1) << i;
  }
  // The search is not affected.
  EXPECT_EQ(tmex().TMFirst(handle_, state_.data()), 1);
  std::int16_t buf[9] = {};
  tmex().TMRom(handle_, state_.data(), buf);
  EXPECT_EQ(buf[1], 1);
}

TEST_F(SimLink, OperationsNeedAValidSession) {
  AddReply(1, 0);
  EXPECT_EQ(tmex().TMEndSession(handle_), 1);
  EXPECT_EQ(tmex().TMEndSession(handle_), 0);
  EXPECT_LT(tmex().TMTouchReset(handle_), 0);
  EXPECT_LT(tmex().TMTouchByte(handle_, 0xCC), 0);
  EXPECT_LT(tmex().TMAccess(handle_, state_.data()), 0);
  const auto next = tmex().TMExtendedStartSession(1, 6, nullptr);
  EXPECT_GT(next, handle_);
  EXPECT_EQ(tmex().TMValidSession(next), 1);
  tmex().TMClose(next);
  EXPECT_EQ(tmex().TMValidSession(next), 0);
}

}  // namespace
}  // namespace orvel::sim
