#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "onewire/rom_code.h"

namespace orvel::onewire {

// Result of a link-level operation that can fail on the adapter side.
enum class LinkError { kNone, kNoAdapter, kIo, kShorted };

// The link layer of one 1-Wire adapter: the two primitives (reset and one
// time slot) and the line level. Byte and search-triplet operations have
// portable defaults built on the slot; an adapter with native commands
// (byte I/O, search accelerator) overrides them. The session, search and
// device-selection logic above it is shared by every adapter.
class OneWireMaster {
 public:
  virtual ~OneWireMaster() = default;

  // Check that the adapter answers and bring the bus to a known state.
  virtual bool Setup() = 0;
  // Reset pulse; true when a presence pulse was seen. Error: nullopt.
  virtual std::optional<bool> Reset() = 0;
  // One time slot: write 1 = read slot. Returns the bit on the line, or
  // nullopt on an adapter error.
  virtual std::optional<int> TouchBit(int bit) = 0;
  // Eight slots, least significant bit first; an armed strong pull-up
  // starts right after the eighth (OnByteComplete).
  virtual std::optional<std::uint8_t> TouchByte(std::uint8_t byte);
  // TouchByte for each of n bytes in turn, each replaced by the byte read;
  // false on an adapter error. An adapter with block I/O sends them at once.
  virtual bool TouchBlock(std::uint8_t* bytes, std::size_t n);
  // One search step: two read slots and a write slot. `direction` is the
  // bit to take where both values are present; returns the two bits read
  // and the direction written, or nullopt on error.
  struct Triplet {
    int id_bit;
    int cmp_bit;
    int direction;
  };
  virtual std::optional<Triplet> SearchTriplet(int direction);
  // One search pass: reset, Search ROM and 64 search steps, taking the bit
  // of `choices` wherever both values are present. The default is built on
  // Reset, TouchByte and SearchTriplet; an adapter with a search command or
  // accelerator does it in one go.
  struct SearchPathResult {
    RomCode rom;              // the path taken, bit i of the code at step i
    std::uint64_t conflicts;  // bit i set: both values were present at step i (may
                              // be empty when every conflict took 1)
    bool complete;            // false: no device answered some step
  };
  virtual std::optional<SearchPathResult> SearchPath(const RomCode& choices);

  // Strong pull-up: take effect after the next byte (armed) or at once, and
  // back to the normal level. A master without it ignores the request.
  virtual void ArmStrongPullupAfterNextByte() = 0;
  virtual void SetNormalLevel() = 0;
  virtual void SetStrongPullupNow() = 0;
  virtual bool StrongPullupActive() const = 0;

  // Text for Get_Version / TMGetTypeVersion.
  virtual std::string Description() const = 0;

 protected:
  // Called by the portable TouchByte after the eighth slot.
  virtual void OnByteComplete() {}
};

}  // namespace orvel::onewire
