#pragma once

#include <memory>
#include <string>

#include "onewire/ds2490/usb_transport.h"

namespace orvel::onewire {

// The `index`-th DS2490 on the USB buses (from 1), opened through
// libusb-1.0; nullptr with a reason when there is none or it cannot be
// opened (see the udev rule for the permissions).
std::unique_ptr<UsbTransport> OpenDs2490(int index, std::string* error);

}  // namespace orvel::onewire
