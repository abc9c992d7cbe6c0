#include "win32/win32_platform.h"

namespace orvel::win32 {

void DispatchOne(MSG& message, const MessageFilter& pre_translate) {
  if (pre_translate && pre_translate(message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void PeekMessagePump::ProcessMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchOne(message, pre_translate_);
  }
}

}  // namespace orvel::win32
