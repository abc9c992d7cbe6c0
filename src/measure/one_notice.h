#pragma once

#include <memory>
#include <string>

#include "core/platform.h"

namespace orvel::measure {

// Notices of one kind, one on screen at a time, none holding up the caller:
// while one stands, later ones are counted, and once it is dismissed the
// last of them is shown with that count, on a line of `heldCaption` and
// the number. A failure that repeats every cycle thus gives one box, not a
// pile of them.
class OneNoticeAtATime {
 public:
  OneNoticeAtATime(core::Dialogs& dialogs, std::string heldCaption);
  OneNoticeAtATime(const OneNoticeAtATime&) = delete;
  OneNoticeAtATime& operator=(const OneNoticeAtATime&) = delete;

  void Show(const std::string& text);

 private:
  struct State {
    bool standing = false;
    int held = 0;  // notices that came while one stood
    std::string last;
  };
  void Open(const std::string& text);

  core::Dialogs& dialogs_;
  std::string heldCaption_;
  // Shared with the dismissal callbacks, which may outlive this object.
  std::shared_ptr<State> state_;
};

}  // namespace orvel::measure
