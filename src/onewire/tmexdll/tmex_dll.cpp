#include "onewire/tmexdll/tmex_dll.h"

#include <windows.h>

#include "onewire/tmexdll/tmex_api.h"

namespace orvel::onewire {

struct TmexDll::Api {
  tmex_api::TMReadDefaultPort TMReadDefaultPort;
  tmex_api::Get_Version Get_Version;
  tmex_api::TMGetTypeVersion TMGetTypeVersion;
  tmex_api::TMExtendedStartSession TMExtendedStartSession;
  tmex_api::HandleOnly TMSetup;
  tmex_api::HandleOnly TMValidSession;
  tmex_api::HandleOnly TMEndSession;
  tmex_api::HandleOnly TMClose;
  tmex_api::HandleOnly TMTouchReset;
  tmex_api::HandleState TMFirst;
  tmex_api::HandleState TMNext;
  tmex_api::TMRom TMRom;
  tmex_api::HandleState TMAccess;
  tmex_api::HandleState TMStrongAccess;
  tmex_api::HandleValue TMTouchByte;
  tmex_api::HandleValue TMTouchBit;
  tmex_api::TMOneWireLevel TMOneWireLevel;
  tmex_api::TMCRC TMCRC;
};

namespace {

template <typename F>
bool Resolve(HMODULE module, const char* name, F* out, std::string* missing) {
  const FARPROC proc = ::GetProcAddress(module, name);
  if (proc == nullptr) {
    if (!missing->empty()) *missing += ", ";
    *missing += name;
    return false;
  }
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(proc));
  return true;
}

}  // namespace

const char* TmexDll::DefaultLibraryName() {
#ifdef _WIN64
  return "IBFS64.DLL";
#else
  return "IBFS32.DLL";
#endif
}

std::unique_ptr<TmexDll> TmexDll::Load(const std::string& library, std::string* error) {
  const HMODULE module = ::LoadLibraryA(library.c_str());
  if (module == nullptr) {
    *error = "cannot load " + library + " (error " + std::to_string(::GetLastError()) + ")";
    return nullptr;
  }
  auto api = std::make_unique<Api>();
  std::string missing;
  bool ok = true;
#define ORVEL_RESOLVE(name) ok = Resolve(module, #name, &api->name, &missing) && ok
  ORVEL_RESOLVE(TMReadDefaultPort);
  ORVEL_RESOLVE(Get_Version);
  ORVEL_RESOLVE(TMGetTypeVersion);
  ORVEL_RESOLVE(TMExtendedStartSession);
  ORVEL_RESOLVE(TMSetup);
  ORVEL_RESOLVE(TMValidSession);
  ORVEL_RESOLVE(TMEndSession);
  ORVEL_RESOLVE(TMClose);
  ORVEL_RESOLVE(TMTouchReset);
  ORVEL_RESOLVE(TMFirst);
  ORVEL_RESOLVE(TMNext);
  ORVEL_RESOLVE(TMRom);
  ORVEL_RESOLVE(TMAccess);
  ORVEL_RESOLVE(TMStrongAccess);
  ORVEL_RESOLVE(TMTouchByte);
  ORVEL_RESOLVE(TMTouchBit);
  ORVEL_RESOLVE(TMOneWireLevel);
  ORVEL_RESOLVE(TMCRC);
#undef ORVEL_RESOLVE
  if (!ok) {
    *error = library + " lacks " + missing;
    ::FreeLibrary(module);
    return nullptr;
  }
  std::unique_ptr<TmexDll> dll(new TmexDll(module, std::move(api)));
  dll->simulated_ = ::GetProcAddress(module, "OrvelSimulatedBus") != nullptr;
  return dll;
}

TmexDll::TmexDll(void* module, std::unique_ptr<Api> api) : module_(module), api_(std::move(api)) {}

TmexDll::~TmexDll() { ::FreeLibrary(static_cast<HMODULE>(module_)); }

std::int16_t TmexDll::TMReadDefaultPort(std::int16_t* port_num, std::int16_t* port_type) {
  if (overridden_) {
    *port_num = override_[0];
    *port_type = override_[1];
    return 1;
  }
  return api_->TMReadDefaultPort(port_num, port_type);
}
std::int16_t TmexDll::Get_Version(char* buf) { return api_->Get_Version(buf); }
std::int16_t TmexDll::TMGetTypeVersion(std::int16_t port_type, char* buf) {
  return api_->TMGetTypeVersion(port_type, buf);
}
std::int32_t TmexDll::TMExtendedStartSession(std::int16_t port_num, std::int16_t port_type,
                                             void* reserved) {
  return api_->TMExtendedStartSession(port_num, port_type, reserved);
}
std::int16_t TmexDll::TMSetup(std::int32_t h) { return api_->TMSetup(h); }
std::int16_t TmexDll::TMValidSession(std::int32_t h) { return api_->TMValidSession(h); }
std::int16_t TmexDll::TMEndSession(std::int32_t h) { return api_->TMEndSession(h); }
std::int16_t TmexDll::TMClose(std::int32_t h) { return api_->TMClose(h); }
std::int16_t TmexDll::TMTouchReset(std::int32_t h) { return api_->TMTouchReset(h); }
std::int16_t TmexDll::TMFirst(std::int32_t h, void* state) { return api_->TMFirst(h, state); }
std::int16_t TmexDll::TMNext(std::int32_t h, void* state) { return api_->TMNext(h, state); }
std::int16_t TmexDll::TMRom(std::int32_t h, void* state, std::int16_t* rom) {
  return api_->TMRom(h, state, rom);
}
std::int16_t TmexDll::TMAccess(std::int32_t h, void* state) { return api_->TMAccess(h, state); }
std::int16_t TmexDll::TMStrongAccess(std::int32_t h, void* state) {
  return api_->TMStrongAccess(h, state);
}
std::int16_t TmexDll::TMTouchByte(std::int32_t h, std::int16_t byte) {
  return api_->TMTouchByte(h, byte);
}
std::int16_t TmexDll::TMTouchBit(std::int32_t h, std::int16_t bit) {
  return api_->TMTouchBit(h, bit);
}
std::int16_t TmexDll::TMOneWireLevel(std::int32_t h, std::int16_t operation,
                                     std::int16_t level_mode, std::int16_t prime) {
  return api_->TMOneWireLevel(h, operation, level_mode, prime);
}
std::uint16_t TmexDll::TMCRC(std::int16_t len, const std::uint8_t* buf, std::uint16_t seed,
                             std::int16_t type) {
  // The library's declaration takes a non-const buffer it only reads.
  return api_->TMCRC(len, const_cast<std::uint8_t*>(buf), seed, type);
}

}  // namespace orvel::onewire
