#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "measure/reading_feed.h"

namespace orvel::board {

// What the station has done since start, for the metrics.
struct CounterValues {
  std::uint64_t polls = 0;
  std::uint64_t scans = 0;
  std::uint64_t adapterErrors = 0;
  // Failed readings by cause, indexed by ReadState (Fresh, NotReadYet and
  // Gone stay 0: they are no failed reading).
  std::array<std::uint64_t, 8> failed{};
};

// The publisher's queue, as it reports it; all zero without one.
struct MqttCounts {
  std::uint64_t queued = 0;
  std::uint64_t sent = 0;
  std::uint64_t dropped = 0;
};

class MqttCountSource {
 public:
  virtual ~MqttCountSource() = default;
  // Called from the web server's thread.
  virtual MqttCounts Counts() const = 0;
};

// True for the states that count as a failed reading.
bool IsFailedReading(measure::ReadState state);

class StationCounters final : public measure::ReadingFeed {
 public:
  void OnScan(const std::vector<measure::DeviceId>& present, core::DateTime time) override;
  void OnReading(const measure::Reading&) override {}
  void OnState(const measure::StateReport& report) override;
  void OnPollDone(core::DateTime time) override;
  void OnAdapterError(const std::string& text, core::DateTime time) override;

  CounterValues Values() const;

 private:
  mutable std::mutex mutex_;
  CounterValues values_;
};

}  // namespace orvel::board
