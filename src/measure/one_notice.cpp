#include "measure/one_notice.h"

#include <utility>

namespace orvel::measure {

OneNoticeAtATime::OneNoticeAtATime(core::Dialogs& dialogs, std::string heldCaption)
    : dialogs_(dialogs), heldCaption_(std::move(heldCaption)), state_(std::make_shared<State>()) {}

void OneNoticeAtATime::Show(const std::string& text) {
  if (state_->standing) {
    ++state_->held;
    state_->last = text;
    return;
  }
  Open(text);
}

void OneNoticeAtATime::Open(const std::string& text) {
  state_->standing = true;
  std::weak_ptr<State> weak = state_;
  dialogs_.OpenNotice(text, [this, weak] {
    const std::shared_ptr<State> state = weak.lock();
    if (!state) return;  // the journal is gone; nothing to show
    state->standing = false;
    if (state->held == 0) return;
    const std::string next = state->last + "\n" + heldCaption_ + std::to_string(state->held);
    state->held = 0;
    state->last.clear();
    Open(next);
  });
}

}  // namespace orvel::measure
