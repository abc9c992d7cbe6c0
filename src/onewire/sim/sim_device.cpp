#include "onewire/sim/sim_device.h"

#include <utility>

namespace orvel::sim {
namespace {

constexpr std::uint8_t kSearchRom = 0xF0;
constexpr std::uint8_t kMatchRom = 0x55;
constexpr std::uint8_t kSkipRom = 0xCC;
constexpr std::uint8_t kReadRom = 0x33;

}  // namespace

SimDevice::SimDevice(onewire::RomCode rom, Faults faults) : rom_(rom), faults_(std::move(faults)) {}

bool SimDevice::Reset(SimTime now) {
  const bool answers = present_ && faults_.AnswersReset(resets_seen_);
  ++resets_seen_;
  OnReset(now);
  bit_index_ = 0;
  command_ = 0;
  state_ = answers ? State::kRomCommand : State::kIdle;
  return answers;
}

int SimDevice::Drive(int master_bit, SimTime now) {
  if (!present_) state_ = State::kIdle;  // unplugged mid-transaction
  switch (state_) {
    case State::kSearch: {
      const int bit = (rom_[static_cast<std::size_t>(bit_index_ / 8)] >> (bit_index_ % 8)) & 1;
      if (search_phase_ == 0) return bit;
      if (search_phase_ == 1) return bit ^ 1;
      return 1;
    }
    case State::kReadRom:
      return (rom_[static_cast<std::size_t>(bit_index_ / 8)] >> (bit_index_ % 8)) & 1;
    case State::kFunction:
      return FunctionDrive(master_bit, now);
    default:
      return 1;
  }
}

void SimDevice::Sample(int line, SimTime now) {
  switch (state_) {
    case State::kIdle:
      return;
    case State::kRomCommand:
      command_ = static_cast<std::uint8_t>(command_ | (line & 1) << bit_index_);
      if (++bit_index_ < 8) return;
      bit_index_ = 0;
      search_phase_ = 0;
      switch (command_) {
        case kSearchRom:
          state_ = State::kSearch;
          break;
        case kMatchRom:
          state_ = State::kMatch;
          break;
        case kReadRom:
          state_ = State::kReadRom;
          break;
        case kSkipRom:
          state_ = State::kFunction;
          OnSelected(now);
          break;
        default:  // alarm search, overdrive and resume are not modelled: stay quiet
          state_ = State::kIdle;
          break;
      }
      return;
    case State::kSearch: {
      if (search_phase_ < 2) {
        ++search_phase_;
        return;
      }
      const int bit = (rom_[static_cast<std::size_t>(bit_index_ / 8)] >> (bit_index_ % 8)) & 1;
      search_phase_ = 0;
      if (line != bit) {
        state_ = State::kIdle;
        return;
      }
      if (++bit_index_ == 64) {
        state_ = State::kFunction;
        OnSelected(now);
      }
      return;
    }
    case State::kMatch: {
      const int bit = (rom_[static_cast<std::size_t>(bit_index_ / 8)] >> (bit_index_ % 8)) & 1;
      if (line != bit) {
        state_ = State::kIdle;
        return;
      }
      if (++bit_index_ == 64) {
        state_ = State::kFunction;
        OnSelected(now);
      }
      return;
    }
    case State::kReadRom:
      if (++bit_index_ == 64) {
        state_ = State::kFunction;
        OnSelected(now);
      }
      return;
    case State::kFunction:
      FunctionSample(line, now);
      return;
  }
}

void SimDevice::OnLineLevel(bool, SimTime) {}

}  // namespace orvel::sim
