#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "onewire/tmex.h"

namespace orvel::onewire {

// The vendor's 1-Wire driver library, loaded at run time: IBFS32.DLL in a
// 32-bit build, IBFS64.DLL in a 64-bit one. Every operation is resolved by
// name when the library is loaded; a library that lacks one is refused.
class TmexDll final : public Tmex {
 public:
  static const char* DefaultLibraryName();
  // nullptr with a reason in *error when the library or an operation in it
  // is missing.
  static std::unique_ptr<TmexDll> Load(const std::string& library, std::string* error);
  ~TmexDll() override;
  TmexDll(const TmexDll&) = delete;
  TmexDll& operator=(const TmexDll&) = delete;

  // True for the stand-in built from the simulated bus, which marks itself
  // with an export the vendor's library lacks.
  bool simulated() const { return simulated_; }

  // The port the user named, reported as the default in place of the
  // library's own.
  void OverrideDefaultPort(std::int16_t port_num, std::int16_t port_type) {
    override_[0] = port_num;
    override_[1] = port_type;
    overridden_ = true;
  }

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
  std::uint16_t TMCRC(std::int16_t len, const std::uint8_t* buf, std::uint16_t seed,
                      std::int16_t type) override;

  struct Api;

 private:
  TmexDll(void* module, std::unique_ptr<Api> api);

  void* module_;
  std::unique_ptr<Api> api_;
  bool simulated_ = false;
  bool overridden_ = false;
  std::int16_t override_[2] = {0, 0};
};

}  // namespace orvel::onewire
