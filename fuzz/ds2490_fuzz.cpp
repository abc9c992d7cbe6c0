// DS2490 status packets and bulk data: whatever the USB pipes bring back,
// the driver fails the operation or drops the adapter, never crashes or
// waits without end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "adapter_script.h"
#include "onewire/ds2490/ds2490_master.h"
#include "tape_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvel;
  fuzz::ReplyTape tape(data, size);
  int opens = 0;
  onewire::Ds2490Master master(
      [&](std::string* error) -> std::unique_ptr<onewire::UsbTransport> {
        if (++opens > 3) {
          *error = "unplugged";
          return nullptr;
        }
        return std::make_unique<fuzz::TapeTransport>(tape);
      },
      "fuzz");
  const std::vector<std::uint8_t> block = {0x55, 0x28, 0x4C, 0x3B, 0x2A, 0x01, 0, 0, 0xFF, 0xBE};
  for (int pass = 0; pass < 4 && !tape.empty(); ++pass) {
    fuzz::RunAdapterPass(master, [&] {
      if (const auto in = master.TouchBlock(block); in && in->size() != block.size()) std::abort();
    });
  }
  return 0;
}
