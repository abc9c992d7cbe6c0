#pragma once

#include <QCoreApplication>

#include "core/platform.h"

namespace orvel::app {

// "Let the window process its pending messages" is one pass of Qt's events.
class QtMessagePump final : public core::MessagePump {
 public:
  void ProcessMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
};

}  // namespace orvel::app
