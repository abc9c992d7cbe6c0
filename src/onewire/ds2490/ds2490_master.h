#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "onewire/ds2490/usb_transport.h"
#include "onewire/one_wire_master.h"

namespace orvel::onewire {

// The link layer of a DS2490 USB adapter: each 1-Wire operation is one
// communication command run at once, its data read from the bulk pipe and
// its outcome from the status packet. A failed transfer means the adapter
// was unplugged: the operation fails, and the next Setup opens it afresh.
class Ds2490Master final : public OneWireMaster {
 public:
  using TransportOpener = std::function<std::unique_ptr<UsbTransport>(std::string* error)>;

  Ds2490Master(TransportOpener opener, std::string name);

  bool Setup() override;
  std::optional<bool> Reset() override;
  std::optional<int> TouchBit(int bit) override;
  std::optional<std::uint8_t> TouchByte(std::uint8_t byte) override;
  std::optional<SearchPathResult> SearchPath(const RomCode& choices) override;
  void ArmStrongPullupAfterNextByte() override { armed_ = true; }
  void SetNormalLevel() override;
  void SetStrongPullupNow() override;
  bool StrongPullupActive() const override { return pulse_on_; }
  std::string Description() const override { return "DS2490 USB 1-Wire adapter " + name_; }

  // Block I/O: the bytes go out and come back in one command per chunk.
  bool TouchBlock(std::uint8_t* bytes, std::size_t n) override;
  std::optional<std::vector<std::uint8_t>> TouchBlock(const std::vector<std::uint8_t>& out);

  LinkError last_error() const { return last_error_; }
  const std::string& last_message() const { return message_; }

 private:
  bool Configure();
  // Runs a communication command and waits until the adapter is idle; the
  // result bytes of the status packets are left in results_.
  bool Comm(std::uint16_t command, std::uint16_t index);
  bool WaitIdle();
  bool HasResult(std::uint8_t flag) const;
  bool EndPulse();
  void Drop(const std::string& why);

  TransportOpener opener_;
  std::string name_;
  std::unique_ptr<UsbTransport> usb_;
  std::vector<std::uint8_t> results_;
  bool armed_ = false;
  bool pulse_on_ = false;
  LinkError last_error_ = LinkError::kNone;
  std::string message_;
};

}  // namespace orvel::onewire
