#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "onewire/tmex.h"

namespace orvel::testing_support {

// A driver that passes every call on to another one and writes down each
// call with its result, one line per call: the transcript that golden
// files and call-order tests compare. A hook may replace a result to
// inject a fault (return true to use *result instead of calling through).
class RecordingTmex final : public onewire::Tmex {
 public:
  using Hook = std::function<bool(const std::string& op, int index, std::int32_t* result)>;

  explicit RecordingTmex(onewire::Tmex& inner) : inner_(inner) {}

  const std::vector<std::string>& calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  // Called before each call; `index` counts calls of the same op from 0.
  void SetHook(Hook hook) { hook_ = std::move(hook); }
  // The transcript as one text, a line per call.
  std::string Transcript() const {
    std::string text;
    for (const auto& c : calls_) text += c + "\n";
    return text;
  }
  // Only the TMTouchByte/TMTouchBit traffic, as "W:xx R:yy" pairs.
  std::vector<std::string> Bytes() const {
    std::vector<std::string> out;
    for (const auto& c : calls_) {
      if (c.rfind("TMTouchByte", 0) == 0 || c.rfind("TMTouchBit", 0) == 0) out.push_back(c);
    }
    return out;
  }

  std::int16_t TMReadDefaultPort(std::int16_t* p, std::int16_t* t) override {
    return Log16("TMReadDefaultPort", "", [&] { return inner_.TMReadDefaultPort(p, t); });
  }
  std::int16_t Get_Version(char* buf) override {
    return Log16("Get_Version", "", [&] { return inner_.Get_Version(buf); });
  }
  std::int16_t TMGetTypeVersion(std::int16_t type, char* buf) override {
    return Log16("TMGetTypeVersion", std::to_string(type),
                 [&] { return inner_.TMGetTypeVersion(type, buf); });
  }
  std::int32_t TMExtendedStartSession(std::int16_t p, std::int16_t t, void* r) override {
    return Log32("TMExtendedStartSession", std::to_string(p) + "," + std::to_string(t),
                 [&] { return inner_.TMExtendedStartSession(p, t, r); });
  }
  std::int16_t TMSetup(std::int32_t h) override {
    return Log16("TMSetup", "", [&] { return inner_.TMSetup(h); });
  }
  std::int16_t TMValidSession(std::int32_t h) override {
    return Log16("TMValidSession", "", [&] { return inner_.TMValidSession(h); });
  }
  std::int16_t TMEndSession(std::int32_t h) override {
    return Log16("TMEndSession", "", [&] { return inner_.TMEndSession(h); });
  }
  std::int16_t TMClose(std::int32_t h) override {
    return Log16("TMClose", "", [&] { return inner_.TMClose(h); });
  }
  std::int16_t TMTouchReset(std::int32_t h) override {
    return Log16("TMTouchReset", "", [&] { return inner_.TMTouchReset(h); });
  }
  std::int16_t TMFirst(std::int32_t h, void* s) override {
    return Log16("TMFirst", "", [&] { return inner_.TMFirst(h, s); });
  }
  std::int16_t TMNext(std::int32_t h, void* s) override {
    return Log16("TMNext", "", [&] { return inner_.TMNext(h, s); });
  }
  std::int16_t TMRom(std::int32_t h, void* s, std::int16_t* rom) override {
    return Log16("TMRom", rom != nullptr && rom[0] == 0 ? "read" : "set",
                 [&] { return inner_.TMRom(h, s, rom); });
  }
  std::int16_t TMAccess(std::int32_t h, void* s) override {
    return Log16("TMAccess", "", [&] { return inner_.TMAccess(h, s); });
  }
  std::int16_t TMStrongAccess(std::int32_t h, void* s) override {
    return Log16("TMStrongAccess", "", [&] { return inner_.TMStrongAccess(h, s); });
  }
  std::int16_t TMTouchByte(std::int32_t h, std::int16_t b) override {
    return Log16("TMTouchByte", Hex(b), [&] { return inner_.TMTouchByte(h, b); }, true);
  }
  std::int16_t TMTouchBit(std::int32_t h, std::int16_t b) override {
    return Log16("TMTouchBit", std::to_string(b), [&] { return inner_.TMTouchBit(h, b); });
  }
  std::int16_t TMOneWireLevel(std::int32_t h, std::int16_t o, std::int16_t l,
                              std::int16_t p) override {
    return Log16("TMOneWireLevel",
                 std::to_string(o) + "," + std::to_string(l) + "," + std::to_string(p),
                 [&] { return inner_.TMOneWireLevel(h, o, l, p); });
  }

 private:
  static std::string Hex(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
  }

  template <typename F>
  std::int16_t Log16(const char* op, const std::string& args, F call, bool hex_result = false) {
    const std::int32_t r = Call(op, call);
    calls_.push_back(std::string(op) + "(" + args + ")=" +
                     (hex_result && r >= 0 ? Hex(r) : std::to_string(r)));
    return static_cast<std::int16_t>(r);
  }
  template <typename F>
  std::int32_t Log32(const char* op, const std::string& args, F call) {
    const std::int32_t r = Call(op, call);
    calls_.push_back(std::string(op) + "(" + args + ")=" + std::to_string(r));
    return r;
  }
  template <typename F>
  std::int32_t Call(const char* op, F call) {
    const int index = counts_[op]++;
    std::int32_t injected = 0;
    if (hook_ && hook_(op, index, &injected)) return injected;
    return call();
  }

  onewire::Tmex& inner_;
  std::vector<std::string> calls_;
  std::map<std::string, int> counts_;
  Hook hook_;
};

}  // namespace orvel::testing_support
