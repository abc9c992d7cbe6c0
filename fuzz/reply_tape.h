#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel::fuzz {

// What an adapter answers, call by call, as one byte string: for a call
// that reads, a count byte and that many bytes; for a call that only
// succeeds or fails, one byte. kFailed in place of either makes the call
// fail. The tape's end reads as silence: nothing arrives, writes succeed.
inline constexpr std::uint8_t kFailed = 0xFF;

class ReplyTape {
 public:
  ReplyTape(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }

  // A call that only succeeds or fails.
  bool Succeeds() { return empty() || data_[at_++] != kFailed; }

  // A call that reads up to `limit` bytes into `out`: how many, -1 failed.
  int Read(std::uint8_t* out, int limit, int at_end) {
    if (empty()) return at_end;
    const std::uint8_t count = data_[at_++];
    if (count == kFailed) return -1;
    int n = 0;
    while (n < count && n < limit && !empty()) out[n++] = data_[at_++];
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The writing side, for recording a model's answers as a tape.
struct TapeRecorder {
  std::vector<std::uint8_t> tape;

  void Outcome(bool ok) { tape.push_back(ok ? 0 : kFailed); }
  void Reply(const std::uint8_t* data, int n) {
    if (n < 0) {
      tape.push_back(kFailed);
      return;
    }
    // The drivers read at most 64 bytes a call, well below kFailed.
    tape.push_back(static_cast<std::uint8_t>(n));
    tape.insert(tape.end(), data, data + n);
  }
};

}  // namespace orvel::fuzz
