#include "onewire/sim/adapters/passive_adapter_model.h"

namespace orvel::sim {

void PassiveAdapterModel::Receive(std::uint8_t byte, int baud, std::vector<std::uint8_t>& out) {
  if (unplugged_) return;
  if (shorted_) {
    if (baud > 9600) bus_.TouchBit(0);
    out.push_back(0x00);  // the line stays low whatever is sent
    return;
  }
  if (baud <= 9600) {
    if (byte != 0xF0) {
      out.push_back(byte);  // no slot at this speed, just the echo
      return;
    }
    const auto presence = bus_.Reset();
    // A presence pulse pulls the upper data bits low.
    out.push_back(presence && *presence ? 0xE0 : 0xF0);
    return;
  }
  // Only an all-ones byte leaves the line high long enough to be a write-1
  // slot; anything else holds it low through the sampling point.
  const int bit = byte == 0xFF ? 1 : 0;
  const auto read = bus_.TouchBit(bit);
  out.push_back(read && *read ? 0xFF : (bit ? 0xFE : 0x00));
}

}  // namespace orvel::sim
