#include "onewire/ds2480b/ds2480b_protocol.h"

namespace orvel::onewire::ds2480b {
namespace {

constexpr std::uint8_t kRevisionBits = 0x0C;  // revision code 011 in bits 4..2

int BitAt(const std::uint8_t* bytes, int index) { return (bytes[index / 8] >> (index % 8)) & 1; }

void SetBit(std::uint8_t* bytes, int index) {
  bytes[index / 8] = static_cast<std::uint8_t>(bytes[index / 8] | 1U << (index % 8));
}

}  // namespace

std::optional<std::uint8_t> DecodeReadParam(std::uint8_t reply) {
  if ((reply & 0xF1) != 0) return std::nullopt;
  return static_cast<std::uint8_t>(reply >> 1 & 7);
}

std::optional<int> DecodeSingleBit(std::uint8_t command, std::uint8_t reply) {
  if ((reply & 0xFC) != (command & 0xFC)) return std::nullopt;
  const int low = reply & 3;
  if (low != 0 && low != 3) return std::nullopt;  // both bits carry the same value
  return low == 3 ? 1 : 0;
}

std::optional<ResetResult> DecodeReset(std::uint8_t reply) {
  if ((reply & 0xE0) != 0xC0) return std::nullopt;
  return static_cast<ResetResult>(reply & 3);
}

std::uint8_t EncodeReset(ResetResult result) {
  return static_cast<std::uint8_t>(0xC0 | kRevisionBits | static_cast<std::uint8_t>(result));
}

AccelFrame EncodeSearchChoices(const RomCode& choices) {
  AccelFrame frame{};
  for (int n = 0; n < 64; ++n) {
    if (BitAt(choices.data(), n)) SetBit(frame.data(), 2 * n + 1);
  }
  return frame;
}

AccelResult DecodeSearchReply(const AccelFrame& reply) {
  AccelResult result{{}, 0, true};
  for (int n = 0; n < 64; ++n) {
    if (BitAt(reply.data(), 2 * n + 1)) SetBit(result.rom.data(), n);
    if (BitAt(reply.data(), 2 * n)) result.flags |= std::uint64_t{1} << n;
  }
  // The adapter marks a pass that lost every device with both flags of the
  // last bit set: no real code can conflict only in its CRC's top bit.
  result.complete = !(BitAt(reply.data(), 126) && BitAt(reply.data(), 127));
  return result;
}

}  // namespace orvel::onewire::ds2480b
