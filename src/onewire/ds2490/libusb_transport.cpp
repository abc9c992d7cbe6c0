#include "onewire/ds2490/libusb_transport.h"

#include <libusb.h>

#include "onewire/ds2490/ds2490_protocol.h"

namespace orvel::onewire {
namespace {

namespace d = ds2490;

constexpr unsigned kTimeoutMs = 1000;
constexpr std::uint8_t kVendorOut = 0x40;  // vendor request, host to device
constexpr int kInterface = 0;
constexpr int kAltSetting = 3;  // 64-byte bulk packets

class LibusbTransport final : public UsbTransport {
 public:
  LibusbTransport(libusb_context* context, libusb_device_handle* handle)
      : context_(context), handle_(handle) {}
  ~LibusbTransport() override {
    libusb_release_interface(handle_, kInterface);
    libusb_close(handle_);
    libusb_exit(context_);
  }

  bool Control(std::uint8_t request, std::uint16_t value, std::uint16_t index) override {
    return libusb_control_transfer(handle_, kVendorOut, request, value, index, nullptr, 0,
                                   kTimeoutMs) >= 0;
  }
  int BulkOut(const std::uint8_t* data, int length) override {
    int done = 0;
    const int rc = libusb_bulk_transfer(handle_, d::kEpDataOut, const_cast<std::uint8_t*>(data),
                                        length, &done, kTimeoutMs);
    return rc == 0 ? done : -1;
  }
  int BulkIn(std::uint8_t* data, int length) override {
    int done = 0;
    const int rc = libusb_bulk_transfer(handle_, d::kEpDataIn, data, length, &done, kTimeoutMs);
    return rc == 0 || rc == LIBUSB_ERROR_TIMEOUT ? done : -1;
  }
  int InterruptIn(std::uint8_t* data, int length) override {
    int done = 0;
    const int rc =
        libusb_interrupt_transfer(handle_, d::kEpStatus, data, length, &done, kTimeoutMs);
    return rc == 0 ? done : -1;
  }

 private:
  libusb_context* context_;
  libusb_device_handle* handle_;
};

}  // namespace

std::unique_ptr<UsbTransport> OpenDs2490(int index, std::string* error) {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != 0) {
    *error = "USB is not available";
    return nullptr;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  libusb_device* found = nullptr;
  int seen = 0;
  for (ssize_t i = 0; i < count && found == nullptr; ++i) {
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(list[i], &desc) != 0) continue;
    if (desc.idVendor == d::kVendorId && desc.idProduct == d::kProductId && ++seen == index) {
      found = list[i];
    }
  }
  libusb_device_handle* handle = nullptr;
  int rc = LIBUSB_ERROR_NOT_FOUND;
  if (found != nullptr) rc = libusb_open(found, &handle);
  libusb_free_device_list(list, 1);
  if (rc != 0) {
    *error = found == nullptr ? "no DS2490 adapter number " + std::to_string(index)
                              : std::string("DS2490 adapter: ") + libusb_strerror(rc);
    libusb_exit(context);
    return nullptr;
  }
  // The kernel's own 1-Wire driver may hold the interface.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  rc = libusb_claim_interface(handle, kInterface);
  if (rc == 0) rc = libusb_set_interface_alt_setting(handle, kInterface, kAltSetting);
  if (rc != 0) {
    *error = std::string("DS2490 adapter: ") + libusb_strerror(rc);
    libusb_close(handle);
    libusb_exit(context);
    return nullptr;
  }
  return std::make_unique<LibusbTransport>(context, handle);
}

}  // namespace orvel::onewire
