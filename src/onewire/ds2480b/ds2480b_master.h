#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "onewire/one_wire_master.h"
#include "onewire/serial/byte_stream.h"

namespace orvel::onewire {

// The link layer of a DS2480B serial adapter: command and data modes, the
// reset, bit and byte commands, the search accelerator and the adapter's own
// strong pull-up. Once detected at 9600 baud the line goes up to 115.2 kbaud
// (1-Wire timing stays at standard speed); an adapter or port that does not
// follow is taken back to 9600 and kept there until the port is reopened.
// A garbled or missing reply fails the operation and the adapter is
// re-synchronised (break, calibration, detection) at once; if that fails
// too, every operation fails until the next Setup.
class Ds2480bMaster final : public OneWireMaster {
 public:
  // Opens the serial line; nullptr with a reason when it cannot.
  using StreamOpener = std::function<std::unique_ptr<ByteStream>(std::string* error)>;

  // Waits the chip's settling times after a break; a line with no chip
  // behind it (a model in the same thread) needs no waiting.
  using Pause = std::function<void(int ms)>;
  static void RealPause(int ms);

  Ds2480bMaster(StreamOpener opener, std::string port_name, Pause pause = RealPause);

  bool Setup() override;
  std::optional<bool> Reset() override;
  std::optional<int> TouchBit(int bit) override;
  std::optional<std::uint8_t> TouchByte(std::uint8_t byte) override;
  bool TouchBlock(std::uint8_t* bytes, std::size_t n) override;
  std::optional<SearchPathResult> SearchPath(const RomCode& choices) override;
  void ArmStrongPullupAfterNextByte() override { armed_ = true; }
  void SetNormalLevel() override;
  void SetStrongPullupNow() override;
  bool StrongPullupActive() const override { return pulse_on_; }
  std::string Description() const override;

  LinkError last_error() const { return last_error_; }
  const std::string& last_message() const { return message_; }
  std::uint64_t bytes_sent() const { return bytes_sent_; }
  std::uint64_t bytes_received() const { return bytes_received_; }
  int resyncs() const { return resyncs_; }
  // The line speed in use.
  int baud() const { return baud_; }

 private:
  enum class Mode { kCommand, kData };

  bool Resync();
  bool SyncAt9600();
  bool Calibrate();
  bool Detect();
  // Takes adapter and port to 115.2 kbaud; false if the read-back fails.
  bool RaiseBaud();
  std::uint8_t BaudCode() const;
  void Drain();
  // Sends `out` and reads `reply_len` bytes; a short reply loses the link.
  bool Exchange(std::vector<std::uint8_t>& out, std::uint8_t* reply, std::size_t reply_len);
  // A reply that makes no sense: re-synchronise and fail the operation.
  void Lost(LinkError error, const char* what);
  void ToCommand(std::vector<std::uint8_t>& out);
  void ToData(std::vector<std::uint8_t>& out);
  // Appends the pull-up duration setting if not yet sent; true if appended.
  bool ConfigurePullup(std::vector<std::uint8_t>& out);
  bool EndPulse();
  std::optional<std::uint8_t> PowerByte(std::uint8_t byte);

  StreamOpener opener_;
  std::string port_name_;
  Pause pause_;
  std::unique_ptr<ByteStream> stream_;
  Mode mode_ = Mode::kCommand;
  bool synced_ = false;
  bool pullup_configured_ = false;
  bool armed_ = false;
  bool pulse_on_ = false;
  int baud_ = 9600;
  bool high_baud_refused_ = false;
  LinkError last_error_ = LinkError::kNone;
  std::string message_;
  std::uint64_t bytes_sent_ = 0;
  std::uint64_t bytes_received_ = 0;
  int resyncs_ = 0;
};

}  // namespace orvel::onewire
