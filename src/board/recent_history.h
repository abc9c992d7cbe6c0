#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "measure/reading_feed.h"

namespace orvel::board {

struct HistoryPoint {
  core::DateTime time = 0.0;
  double value = 0.0;
};

// The fresh readings seen since start, per device and quantity, for the
// page's plots. Each series keeps only its latest `capacity` points, so a
// station running for months holds a bounded amount.
class RecentHistory final : public measure::ReadingFeed {
 public:
  explicit RecentHistory(std::size_t capacity = 2880) : capacity_(capacity) {}

  void OnScan(const std::vector<measure::DeviceId>&, core::DateTime) override {}
  void OnReading(const measure::Reading& reading) override;
  void OnState(const measure::StateReport&) override {}

  std::vector<HistoryPoint> Series(const onewire::RomCode& rom, measure::Quantity q) const;

 private:
  using Key = std::pair<onewire::RomCode, measure::Quantity>;
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::map<Key, std::deque<HistoryPoint>> series_;
};

}  // namespace orvel::board
