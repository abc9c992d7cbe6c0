// DS2480B replies: whatever the serial line brings back, the driver fails
// the operation or re-synchronises, never crashes or hangs.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "adapter_script.h"
#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/ds2480b/ds2480b_protocol.h"
#include "tape_streams.h"

namespace {

// The pure decoders on the first bytes: in range for any byte.
void Decoders(const std::uint8_t* data, std::size_t size) {
  namespace d = orvel::onewire::ds2480b;
  if (size == 0) return;
  if (const auto v = d::DecodeReadParam(data[0]); v && *v > 7) std::abort();
  if (const auto bit = d::DecodeSingleBit(d::SingleBit(1), data[0]); bit && *bit != 0 && *bit != 1)
    std::abort();
  if (const auto r = d::DecodeReset(data[0]); r && d::EncodeReset(*r) >> 5 != 0x6) std::abort();
  if (size >= 16) {
    d::AccelFrame frame{};
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = data[i];
    d::DecodeSearchReply(frame);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvel;
  Decoders(data, size);
  fuzz::ReplyTape tape(data, size);
  onewire::Ds2480bMaster master(fuzz::TapeOpener<onewire::ByteStream, fuzz::TapeStream>(tape),
                                "fuzz", [](int) {});
  for (int pass = 0; pass < 4 && !tape.empty(); ++pass) fuzz::RunAdapterPass(master);
  return 0;
}
