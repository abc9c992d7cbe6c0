#include "drivers/linux_adapters.h"

#include <charconv>
#include <memory>

#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/ds2490/ds2490_master.h"
#include "onewire/ds2490/libusb_transport.h"
#include "onewire/ds9097e/passive_serial_master.h"
#include "onewire/serial/serial_port.h"

namespace orvel::drivers {
namespace {

constexpr int kSerialBaud = 9600;
constexpr std::string_view kTtyUsb = "/dev/ttyUSB";

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// ttyUSB<k> is port k+1, so the settings tab names the same device.
std::int16_t PortOfPath(const std::string& path) {
  if (path.rfind(kTtyUsb, 0) != 0) return 1;
  const auto n = Number(std::string_view(path).substr(kTtyUsb.size()));
  return n && *n >= 0 && *n < 255 ? static_cast<std::int16_t>(*n + 1) : 1;
}

}  // namespace

std::optional<AdapterSpec> ParseAdapterSpec(const std::string& text, std::string* error) {
  const auto colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
  AdapterSpec spec;
  if (kind == "ds2480b" || kind == "ds9097e") {
    if (rest.empty()) {
      *error = "adapter \"" + text + "\": give the serial device, as in " + kind + ":/dev/ttyUSB0";
      return std::nullopt;
    }
    spec.port_type = kind == "ds2480b" ? kDs2480bType : kPassiveSerialType;
    spec.path = rest;
    spec.port_num = PortOfPath(rest);
    return spec;
  }
  if (kind == "ds2490") {
    spec.port_type = kUsbType;
    if (colon != std::string::npos) {
      const auto n = Number(rest);
      if (!n || *n < 1 || *n > 255) {
        *error = "adapter \"" + text + "\": the USB adapter number must be 1 or more";
        return std::nullopt;
      }
      spec.port_num = static_cast<std::int16_t>(*n);
    }
    return spec;
  }
  *error = "unknown adapter \"" + text + "\" (ds2480b:PATH, ds9097e:PATH, ds2490[:N])";
  return std::nullopt;
}

std::string SerialPortPath(std::int16_t port_num) {
  return std::string(kTtyUsb) + std::to_string(port_num - 1);
}

onewire::MasterOpener LinuxMasterOpener(std::optional<AdapterSpec> named) {
  return [named](std::int16_t port_num, std::int16_t port_type,
                 std::int32_t* error) -> std::shared_ptr<onewire::OneWireMaster> {
    *error = onewire::kTmexNoDriver;
    if (port_num < 1) return nullptr;
    std::string path = SerialPortPath(port_num);
    if (named && named->port_type == port_type && named->port_num == port_num &&
        !named->path.empty()) {
      path = named->path;
    }
    switch (port_type) {
      case kDs2480bType:
        return std::make_shared<onewire::Ds2480bMaster>(
            [path](std::string* why) -> std::unique_ptr<onewire::ByteStream> {
              return onewire::SerialPort::Open(path, kSerialBaud, why);
            },
            path);
      case kPassiveSerialType:
        return std::make_shared<onewire::PassiveSerialMaster>(
            [path](std::string* why) -> std::unique_ptr<onewire::ByteStream> {
              return onewire::SerialPort::Open(path, kSerialBaud, why);
            },
            path);
      case kUsbType:
        return std::make_shared<onewire::Ds2490Master>(
            [port_num](std::string* why) { return onewire::OpenDs2490(port_num, why); },
            "number " + std::to_string(port_num));
      default:
        return nullptr;  // no driver for this adapter type here
    }
  };
}

}  // namespace orvel::drivers
