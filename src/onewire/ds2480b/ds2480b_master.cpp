#include "onewire/ds2480b/ds2480b_master.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "onewire/ds2480b/ds2480b_protocol.h"

namespace orvel::onewire {
namespace {

namespace d = ds2480b;

constexpr int kBaudLow = 9600;  // power-up and after a break
constexpr int kBaudHigh = 115200;
constexpr std::uint8_t kSearchRomCommand = 0xF0;
// Generous for 9600 baud (about 1 ms a byte) and a 64-step search on the bus.
int ReplyTimeoutMs(std::size_t bytes) { return 150 + 3 * static_cast<int>(bytes); }

}  // namespace

Ds2480bMaster::Ds2480bMaster(StreamOpener opener, std::string port_name, Pause pause)
    : opener_(std::move(opener)), port_name_(std::move(port_name)), pause_(std::move(pause)) {}

void Ds2480bMaster::RealPause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Ds2480bMaster::Description() const {
  return "DS2480B serial 1-Wire adapter on " + port_name_;
}

void Ds2480bMaster::Drain() {
  std::array<std::uint8_t, 64> junk{};
  while (stream_->Read(junk.data(), junk.size(), 20) > 0) {
  }
  stream_->FlushInput();
}

bool Ds2480bMaster::Calibrate() {
  // A line that missed the break (a pseudo-terminal has none) may still be
  // in data mode: this byte takes it back to command mode first; a chip at
  // the high speed is also told to step down, as the break would make it.
  std::vector<std::uint8_t> leave = {d::kCommandMode};
  if (baud_ != kBaudLow) leave.push_back(d::WriteParam(d::Param::kBaud, d::kBaud9600));
  if (!stream_->Write(leave.data(), leave.size())) return false;
  bytes_sent_ += leave.size();
  if (baud_ != kBaudLow) {
    // Its answer shows the step down was taken before the port changes.
    std::uint8_t echo = 0;
    bytes_received_ += stream_->Read(&echo, 1, ReplyTimeoutMs(1));
    Drain();
  }
  if (!stream_->SetBaud(kBaudLow)) return false;
  baud_ = kBaudLow;
  stream_->SendBreak();
  pause_(2);
  // The first byte after power-up or a break only calibrates the timing and
  // gets no reply; a chip that did not restart answers it as a reset, which
  // the drain throws away.
  const std::uint8_t timing = d::kReset;
  if (!stream_->Write(&timing, 1)) return false;
  pause_(4);
  Drain();
  ++bytes_sent_;
  mode_ = Mode::kCommand;
  pullup_configured_ = false;
  pulse_on_ = false;
  armed_ = false;
  return true;
}

bool Ds2480bMaster::Detect() {
  const std::array<std::uint8_t, 5> out = {
      d::WriteParam(d::Param::kSlewRate, d::kSlew1_37VPerUs),
      d::WriteParam(d::Param::kWrite1Low, d::kWrite1Low10us),
      d::WriteParam(d::Param::kSampleOffset, d::kSampleOffset8us),
      d::ReadParam(d::Param::kBaud),
      d::SingleBit(1),
  };
  std::array<std::uint8_t, 5> in{};
  if (!stream_->Write(out.data(), out.size())) return false;
  bytes_sent_ += out.size();
  const std::size_t got = stream_->Read(in.data(), in.size(), ReplyTimeoutMs(in.size()));
  bytes_received_ += got;
  if (got != in.size()) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (in[i] != d::ExpectedWriteReply(out[i])) return false;
  }
  return d::DecodeReadParam(in[3]) == d::kBaud9600 && d::DecodeSingleBit(out[4], in[4]);
}

bool Ds2480bMaster::SyncAt9600() {
  // Two tries: a late answer to the calibration byte may spoil the first.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!Calibrate()) return false;
    if (Detect()) return true;
    Drain();
  }
  return false;
}

bool Ds2480bMaster::RaiseBaud() {
  const std::uint8_t set = d::WriteParam(d::Param::kBaud, d::kBaud115200);
  if (!stream_->Write(&set, 1)) return false;
  ++bytes_sent_;
  // The chip answers at the new speed, which the host still at 9600 cannot
  // read: wait for whatever comes of it and drop it.
  std::uint8_t echo = 0;
  bytes_received_ += stream_->Read(&echo, 1, ReplyTimeoutMs(1));
  if (!stream_->SetBaud(kBaudHigh)) return false;
  baud_ = kBaudHigh;
  stream_->FlushInput();
  const std::uint8_t check = d::ReadParam(d::Param::kBaud);
  if (!stream_->Write(&check, 1)) return false;
  ++bytes_sent_;
  std::uint8_t reply = 0;
  const std::size_t got = stream_->Read(&reply, 1, ReplyTimeoutMs(1));
  bytes_received_ += got;
  return got == 1 && d::DecodeReadParam(reply) == d::kBaud115200;
}

std::uint8_t Ds2480bMaster::BaudCode() const {
  return baud_ == kBaudHigh ? d::kBaud115200 : d::kBaud9600;
}

bool Ds2480bMaster::Resync() {
  synced_ = false;
  ++resyncs_;
  const bool reopen = !stream_ || !stream_->Alive();
  if (reopen) {
    stream_.reset();
    std::string error;
    stream_ = opener_(&error);
    if (!stream_) {
      last_error_ = LinkError::kNoAdapter;
      message_ = error;
      return false;
    }
    baud_ = kBaudLow;  // a port opens at 9600
    high_baud_refused_ = false;
  }
  synced_ = SyncAt9600();
  if (!synced_ && reopen && stream_->Alive() && stream_->SetBaud(kBaudHigh)) {
    // A chip left at the high speed by an earlier session, on a line that
    // carries no break (a pseudo-terminal), is stepped down from there.
    baud_ = kBaudHigh;
    synced_ = SyncAt9600();
  }
  if (synced_ && !high_baud_refused_ && !RaiseBaud()) {
    // The adapter or the port did not follow: 9600 from now on.
    high_baud_refused_ = true;
    synced_ = SyncAt9600();
  }
  if (!synced_) {
    last_error_ = LinkError::kNoAdapter;
    message_ = "no DS2480B answers on " + port_name_;
  }
  return synced_;
}

bool Ds2480bMaster::Setup() {
  // A synchronised adapter only has to answer one parameter read; a failed
  // exchange has re-synchronised it already.
  bool ok = false;
  if (synced_ && stream_ && stream_->Alive() && EndPulse()) {
    std::vector<std::uint8_t> out;
    ToCommand(out);
    out.push_back(d::ReadParam(d::Param::kBaud));
    std::uint8_t reply = 0;
    if (Exchange(out, &reply, 1)) {
      ok = d::DecodeReadParam(reply) == BaudCode() || Resync();
    } else {
      ok = synced_;
    }
  } else {
    ok = Resync();
  }
  if (ok) last_error_ = LinkError::kNone;
  return ok;
}

void Ds2480bMaster::Lost(LinkError error, const char* what) {
  message_ = std::string(what) + " on " + port_name_;
  synced_ = false;
  // A failed re-synchronisation leaves its own verdict: no adapter.
  if (Resync()) last_error_ = error;
}

bool Ds2480bMaster::Exchange(std::vector<std::uint8_t>& out, std::uint8_t* reply,
                             std::size_t reply_len) {
  if (!synced_ || !stream_) return false;
  if (!stream_->Write(out.data(), out.size())) {
    Lost(LinkError::kNoAdapter, "serial line gone");
    return false;
  }
  bytes_sent_ += out.size();
  const std::size_t got =
      reply_len == 0 ? 0 : stream_->Read(reply, reply_len, ReplyTimeoutMs(reply_len));
  bytes_received_ += got;
  if (got != reply_len) {
    Lost(LinkError::kIo, "no reply from the adapter");
    return false;
  }
  return true;
}

void Ds2480bMaster::ToCommand(std::vector<std::uint8_t>& out) {
  if (mode_ == Mode::kData) out.push_back(d::kCommandMode);
  mode_ = Mode::kCommand;
}

void Ds2480bMaster::ToData(std::vector<std::uint8_t>& out) {
  if (mode_ == Mode::kCommand) out.push_back(d::kDataMode);
  mode_ = Mode::kData;
}

bool Ds2480bMaster::ConfigurePullup(std::vector<std::uint8_t>& out) {
  if (pullup_configured_) return false;
  out.push_back(d::WriteParam(d::Param::kPullupDuration, d::kPullupInfinite));
  return true;
}

bool Ds2480bMaster::EndPulse() {
  if (!pulse_on_) return true;
  pulse_on_ = false;
  std::vector<std::uint8_t> out = {d::kStopPulse};
  std::uint8_t reply = 0;
  if (!Exchange(out, &reply, 1)) return false;
  if (!d::IsPulseReply(reply)) {
    Lost(LinkError::kIo, "garbled pull-up reply");
    return false;
  }
  return true;
}

std::optional<bool> Ds2480bMaster::Reset() {
  armed_ = false;
  if (!EndPulse()) return std::nullopt;
  std::vector<std::uint8_t> out;
  ToCommand(out);
  out.push_back(d::kReset);
  std::uint8_t reply = 0;
  if (!Exchange(out, &reply, 1)) return std::nullopt;
  const auto result = d::DecodeReset(reply);
  if (!result) {
    Lost(LinkError::kIo, "garbled reset reply");
    return std::nullopt;
  }
  last_error_ = *result == d::ResetResult::kShorted ? LinkError::kShorted : LinkError::kNone;
  return *result == d::ResetResult::kPresence || *result == d::ResetResult::kAlarmPresence;
}

std::optional<int> Ds2480bMaster::TouchBit(int bit) {
  if (!EndPulse()) return std::nullopt;
  std::vector<std::uint8_t> out;
  ToCommand(out);
  const std::uint8_t command = d::SingleBit(bit & 1);
  out.push_back(command);
  std::uint8_t reply = 0;
  if (!Exchange(out, &reply, 1)) return std::nullopt;
  const auto read = d::DecodeSingleBit(command, reply);
  if (!read) Lost(LinkError::kIo, "garbled bit reply");
  return read;
}

std::optional<std::uint8_t> Ds2480bMaster::TouchByte(std::uint8_t byte) {
  if (armed_) return PowerByte(byte);
  if (!TouchBlock(&byte, 1)) return std::nullopt;
  return byte;
}

bool Ds2480bMaster::TouchBlock(std::uint8_t* bytes, std::size_t n) {
  // An armed pull-up follows the first byte: bit commands, not a block.
  if (armed_) return OneWireMaster::TouchBlock(bytes, n);
  if (n == 0) return true;
  if (!EndPulse()) return false;
  std::vector<std::uint8_t> out;
  ToData(out);
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == d::kCommandMode) out.push_back(bytes[i]);  // a data 0xE3 goes twice
  }
  std::vector<std::uint8_t> reply(n);
  if (!Exchange(out, reply.data(), n)) return false;
  // The line can only pull a written 1 down: a 1 read where 0 was written
  // is a damaged reply.
  for (std::size_t i = 0; i < n; ++i) {
    if ((reply[i] & ~bytes[i]) != 0) {
      Lost(LinkError::kIo, "garbled data reply");
      return false;
    }
  }
  std::copy(reply.begin(), reply.end(), bytes);
  return true;
}

std::optional<std::uint8_t> Ds2480bMaster::PowerByte(std::uint8_t byte) {
  // Eight bit commands, the last one starting the pull-up as its slot ends,
  // which is the moment a Convert T needs the power.
  armed_ = false;
  if (!EndPulse()) return std::nullopt;
  std::vector<std::uint8_t> out;
  ToCommand(out);
  const bool config = ConfigurePullup(out);
  const std::size_t first_bit = out.size();
  for (int i = 0; i < 8; ++i) out.push_back(d::SingleBit(byte >> i & 1, i == 7));
  std::vector<std::uint8_t> commands(out.begin() + static_cast<std::ptrdiff_t>(first_bit),
                                     out.end());
  std::array<std::uint8_t, 9> reply{};
  const std::size_t n = commands.size() + (config ? 1 : 0);
  if (!Exchange(out, reply.data(), n)) return std::nullopt;
  std::size_t at = 0;
  if (config) {
    if (reply[at++] !=
        d::ExpectedWriteReply(d::WriteParam(d::Param::kPullupDuration, d::kPullupInfinite))) {
      Lost(LinkError::kIo, "garbled configuration reply");
      return std::nullopt;
    }
    pullup_configured_ = true;
  }
  std::uint8_t read = 0;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const auto bit = d::DecodeSingleBit(commands[i], reply[at++]);
    if (!bit) {
      Lost(LinkError::kIo, "garbled bit reply");
      return std::nullopt;
    }
    read = static_cast<std::uint8_t>(read | *bit << i);
  }
  pulse_on_ = true;
  return read;
}

std::optional<OneWireMaster::SearchPathResult> Ds2480bMaster::SearchPath(const RomCode& choices) {
  // Reset, Search ROM and the accelerator frame in one write: one turn of
  // the line instead of one per step.
  armed_ = false;
  if (!EndPulse()) return std::nullopt;
  std::vector<std::uint8_t> out;
  ToCommand(out);
  out.push_back(d::kReset);
  ToData(out);
  out.push_back(kSearchRomCommand);
  ToCommand(out);
  out.push_back(d::kSearchAccelOn);
  ToData(out);
  for (std::uint8_t b : d::EncodeSearchChoices(choices)) {
    out.push_back(b);
    if (b == d::kCommandMode) out.push_back(b);
  }
  ToCommand(out);
  out.push_back(d::kSearchAccelOff);
  std::array<std::uint8_t, 2 + 16> reply{};
  if (!Exchange(out, reply.data(), reply.size())) return std::nullopt;
  const auto reset = d::DecodeReset(reply[0]);
  if (!reset) {
    Lost(LinkError::kIo, "garbled search reply");
    return std::nullopt;
  }
  // Without a presence pulse the rest means nothing (a short reads zeros).
  if (*reset != d::ResetResult::kPresence && *reset != d::ResetResult::kAlarmPresence) {
    last_error_ = *reset == d::ResetResult::kShorted ? LinkError::kShorted : LinkError::kNone;
    return SearchPathResult{{}, 0, false};
  }
  if ((reply[1] & ~kSearchRomCommand) != 0) {
    Lost(LinkError::kIo, "garbled search reply");
    return std::nullopt;
  }
  d::AccelFrame frame{};
  std::copy(reply.begin() + 2, reply.end(), frame.begin());
  const auto result = d::DecodeSearchReply(frame);
  return SearchPathResult{result.rom, result.flags, result.complete};
}

void Ds2480bMaster::SetNormalLevel() {
  armed_ = false;
  EndPulse();
}

void Ds2480bMaster::SetStrongPullupNow() {
  armed_ = false;
  if (pulse_on_ || !synced_) return;
  std::vector<std::uint8_t> out;
  ToCommand(out);
  const bool config = ConfigurePullup(out);
  out.push_back(d::kPulse5VNow);  // answered only when the pulse ends
  std::uint8_t reply = 0;
  if (!Exchange(out, &reply, config ? 1 : 0)) return;
  if (config) {
    if (reply !=
        d::ExpectedWriteReply(d::WriteParam(d::Param::kPullupDuration, d::kPullupInfinite))) {
      Lost(LinkError::kIo, "garbled configuration reply");
      return;
    }
    pullup_configured_ = true;
  }
  pulse_on_ = true;
}

}  // namespace orvel::onewire
