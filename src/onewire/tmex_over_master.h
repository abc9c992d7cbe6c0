#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "onewire/one_wire_master.h"
#include "onewire/rom_code.h"
#include "onewire/tmex.h"

namespace orvel::onewire {

// Negative results of the driver operations.
inline constexpr std::int16_t kTmexNoSession = -200;    // handle not valid
inline constexpr std::int16_t kTmexAdapterError = -12;  // adapter did not answer mid-operation
inline constexpr std::int32_t kTmexNoDriver = -1;       // no driver for this port type

// Opens the link layer of a port. Returns the master, or nullptr with a
// negative driver error in *error.
using MasterOpener = std::function<std::shared_ptr<OneWireMaster>(
    std::int16_t port_num, std::int16_t port_type, std::int32_t* error)>;

struct DefaultPort {
  std::int16_t port_num = 1;
  std::int16_t port_type = 6;
};

// The driver operations over any adapter's link layer: sessions, the ROM
// search with its state in the caller's state buffer, device selection,
// byte and bit traffic and the strong pull-up. Every backend but the
// vendor library shares this, so they differ only where the hardware does.
class TmexOverMaster : public Tmex {
 public:
  TmexOverMaster(MasterOpener opener, std::optional<DefaultPort> default_port,
                 std::string driver_name);

  std::int16_t TMReadDefaultPort(std::int16_t* port_num, std::int16_t* port_type) override;
  std::int16_t Get_Version(char* buf) override;
  std::int16_t TMGetTypeVersion(std::int16_t port_type, char* buf) override;
  std::int32_t TMExtendedStartSession(std::int16_t port_num, std::int16_t port_type,
                                      void* reserved) override;
  std::int16_t TMSetup(std::int32_t handle) override;
  std::int16_t TMValidSession(std::int32_t handle) override;
  std::int16_t TMEndSession(std::int32_t handle) override;
  std::int16_t TMClose(std::int32_t handle) override;
  std::int16_t TMTouchReset(std::int32_t handle) override;
  std::int16_t TMFirst(std::int32_t handle, void* state) override;
  std::int16_t TMNext(std::int32_t handle, void* state) override;
  std::int16_t TMRom(std::int32_t handle, void* state, std::int16_t* rom) override;
  std::int16_t TMAccess(std::int32_t handle, void* state) override;
  std::int16_t TMStrongAccess(std::int32_t handle, void* state) override;
  std::int16_t TMTouchByte(std::int32_t handle, std::int16_t byte) override;
  std::int16_t TMTouchBit(std::int32_t handle, std::int16_t bit) override;
  std::int16_t TMOneWireLevel(std::int32_t handle, std::int16_t operation, std::int16_t level_mode,
                              std::int16_t prime) override;

  void SetDefaultPort(std::optional<DefaultPort> port) { default_port_ = port; }
  // The open link layer, if any (for tests and traffic figures).
  OneWireMaster* master() const { return master_.get(); }

 private:
  // What the driver keeps in the caller's state buffer.
  struct SearchState {
    std::uint32_t magic;
    RomCode current;
    std::int32_t last_discrepancy;
    std::uint8_t last_device;
  };

  bool Valid(std::int32_t handle) const;
  static SearchState LoadState(const void* state);
  static void StoreState(void* state, const SearchState& s);
  // One search pass from `s`; true when a device was found (it becomes
  // current). nullopt on an adapter error.
  std::optional<bool> SearchPass(SearchState& s);

  MasterOpener opener_;
  std::optional<DefaultPort> default_port_;
  std::string driver_name_;
  std::shared_ptr<OneWireMaster> master_;
  std::int16_t open_port_num_ = 0;
  std::int16_t open_port_type_ = 0;
  std::int32_t session_ = 0;  // the valid handle, 0 when none
  std::int32_t next_handle_ = 1;
};

}  // namespace orvel::onewire
