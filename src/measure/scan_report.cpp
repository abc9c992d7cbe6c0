#include "measure/scan_report.h"

#include <algorithm>
#include <vector>

namespace orvel::measure {

void ScanReport::AfterScan(std::int16_t result, bool silent, const onewire::DeviceTable& Asens,
                           int found, const std::string& status, core::DateTime now) {
  if (result <= 0) {
    // Whether the devices are still there is unknown: their states stand
    // until a scan reaches the bus again.
    feed_.OnAdapterError(status, now);
    return;
  }
  std::vector<DeviceId> devices;
  if (!silent) {
    const int count = std::clamp(found, 0, onewire::kSlotCount);
    for (int slot = 0; slot < count; ++slot) {
      devices.push_back(DeviceIdOf(Asens[static_cast<std::size_t>(slot)]));
    }
  }
  std::set<std::string> now_present;
  for (const DeviceId& d : devices) now_present.insert(d.romText);
  feed_.OnScan(devices, now);
  for (const DeviceId& d : known_) {
    if (now_present.count(d.romText) == 0) {
      feed_.OnState(StateReport{d, ReadState::Gone, "not found by the scan", now});
    }
  }
  for (const DeviceId& d : devices) {
    if (present_.count(d.romText) == 0) {
      feed_.OnState(StateReport{d, ReadState::NotReadYet, {}, now});
    }
  }
  present_ = std::move(now_present);
  known_ = std::move(devices);
}

}  // namespace orvel::measure
