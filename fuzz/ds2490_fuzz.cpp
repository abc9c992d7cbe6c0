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
  onewire::Ds2490Master master(fuzz::TapeOpener<onewire::UsbTransport, fuzz::TapeTransport>(tape),
                               "fuzz");
  for (int pass = 0; pass < 4 && !tape.empty(); ++pass) {
    fuzz::RunAdapterPass(master, [&] {
      if (const auto in = master.TouchBlock(fuzz::kBlock); in && in->size() != fuzz::kBlock.size())
        std::abort();
    });
  }
  return 0;
}
