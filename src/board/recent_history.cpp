#include "board/recent_history.h"

namespace orvel::board {

void RecentHistory::OnReading(const measure::Reading& reading) {
  std::lock_guard lock(mutex_);
  auto& points = series_[{reading.device.rom, reading.quantity}];
  points.push_back({reading.time, reading.value});
  while (points.size() > capacity_) points.pop_front();
}

std::vector<HistoryPoint> RecentHistory::Series(const onewire::RomCode& rom,
                                                measure::Quantity q) const {
  std::lock_guard lock(mutex_);
  auto it = series_.find({rom, q});
  if (it == series_.end()) return {};
  return {it->second.begin(), it->second.end()};
}

}  // namespace orvel::board
