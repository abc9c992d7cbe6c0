#pragma once

namespace orvel::measure {

// The opt-in fast mode: every thermometer converts at once, and the bus is
// searched only now and then rather than on every poll.
struct FastMode {
  bool enabled = false;
  int rescanEvery = 10;  // polls between two scheduled bus searches
};

inline constexpr int kDefaultRescanEvery = 10;

// When a fast-mode poll searches the bus: at the first poll, on request,
// after any failed access and every `rescanEvery` polls.
class FastScanSchedule {
 public:
  explicit FastScanSchedule(int rescanEvery) : rescanEvery_(rescanEvery < 1 ? 1 : rescanEvery) {}

  // True when this poll must search; counts the poll either way.
  bool ScanDue() {
    const bool due = due_ || ++pollsSinceScan_ >= rescanEvery_;
    if (due) {
      due_ = false;
      pollsSinceScan_ = 0;
    }
    return due;
  }
  // The next poll searches (Ctrl+F1, a failed access, a failed scan).
  void ScanNext() { due_ = true; }

 private:
  int rescanEvery_;
  int pollsSinceScan_ = 0;
  bool due_ = true;
};

}  // namespace orvel::measure
