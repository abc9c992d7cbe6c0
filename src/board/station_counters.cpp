#include "board/station_counters.h"

namespace orvel::board {

using measure::ReadState;

bool IsFailedReading(ReadState state) {
  return state != ReadState::Fresh && state != ReadState::NotReadYet && state != ReadState::Gone;
}

void StationCounters::OnScan(const std::vector<measure::DeviceId>&, core::DateTime) {
  std::lock_guard lock(mutex_);
  ++values_.scans;
}

void StationCounters::OnState(const measure::StateReport& report) {
  if (!IsFailedReading(report.state)) return;
  std::lock_guard lock(mutex_);
  ++values_.failed[static_cast<std::size_t>(report.state)];
}

void StationCounters::OnPollDone(core::DateTime) {
  std::lock_guard lock(mutex_);
  ++values_.polls;
}

void StationCounters::OnAdapterError(const std::string&, core::DateTime) {
  std::lock_guard lock(mutex_);
  ++values_.adapterErrors;
}

CounterValues StationCounters::Values() const {
  std::lock_guard lock(mutex_);
  return values_;
}

}  // namespace orvel::board
