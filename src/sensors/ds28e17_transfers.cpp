#include "sensors/ds28e17_transfers.h"

#include <string>

#include "sensors/ds28e17_frames.h"
#include "sensors/slot_selection.h"

namespace orvel::sensors {

BridgeTransfers::BridgeTransfers(onewire::BusSession& bus, onewire::DeviceTable& Asens,
                                 core::MessagePump& pump, core::Dialogs& dialogs)
    : bus_(bus), Asens_(Asens), pump_(pump), dialogs_(dialogs) {}

bool BridgeTransfers::SelectDevice(std::int16_t Indx) {
  return SelectSlotDevice(bus_, Asens_.at(static_cast<std::size_t>(Indx)));
}

BridgeResult BridgeTransfers::SendFrame(const std::uint8_t* bytes, int size) {
  for (int i = 0; i < size; ++i) {
    if (bus_.tmex.TMTouchByte(bus_.SHandle, bytes[i]) < 0) return kBridgeSendFailed;
  }
  return 0;
}

BridgeResult BridgeTransfers::WaitNotBusy(std::int32_t poll_limit) {
  for (std::int32_t left = poll_limit; left > 0;) {
    const std::int16_t bit = bus_.tmex.TMTouchBit(bus_.SHandle, 1);
    if (bit < 0) return kBridgePollFailed;
    if (bit == 0) return 0;
    --left;
    pump_.ProcessMessages();
  }
  return kBridgeStillBusy;
}

BridgeResult BridgeTransfers::Read(const BridgeTarget& target, std::uint8_t* buf, std::int32_t n) {
  if (n < 1 || n > kMaxTransferBytes) return kBridgeBadCount;
  const BridgeFrame frame = BuildReadFrame(target.address, static_cast<std::uint8_t>(n));
  if (const BridgeResult r = SendFrame(frame.bytes.data(), frame.size); r < 0) return r;
  if (const BridgeResult r = WaitNotBusy(target.read_poll_limit); r < 0) return r;
  const std::int16_t status = bus_.tmex.TMTouchByte(bus_.SHandle, 0xFF);
  if (status != 0) {
    if (target.show_bad_status) dialogs_.ShowNotice(std::to_string(status));
    return kBridgeBadStatus;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    buf[i] = static_cast<std::uint8_t>(bus_.tmex.TMTouchByte(bus_.SHandle, 0xFF) & 0xFF);
  }
  return n;
}

BridgeResult BridgeTransfers::Write(const BridgeTarget& target, bool stop, const std::uint8_t* data,
                                    std::int32_t n) {
  if (n < 1 || n > kMaxTransferBytes) return kBridgeBadCount;
  const BridgeFrame frame = BuildWriteFrame(stop ? kCmdWriteDataWithStop : kCmdWriteDataNoStop,
                                            target.address, data, static_cast<std::uint8_t>(n));
  if (const BridgeResult r = SendFrame(frame.bytes.data(), frame.size); r < 0) return r;
  if (const BridgeResult r = WaitNotBusy(target.write_poll_limit); r < 0) return r;
  const std::int16_t status = bus_.tmex.TMTouchByte(bus_.SHandle, 0xFF);
  const std::int16_t write_status = bus_.tmex.TMTouchByte(bus_.SHandle, 0xFF);
  // Either byte alone means the write did not happen as asked: an address
  // NACK or frame CRC error shows in the status, a refused data byte in the
  // write status.
  if (status != 0 || write_status != 0) return kBridgeBadStatus;
  return n;
}

}  // namespace orvel::sensors
