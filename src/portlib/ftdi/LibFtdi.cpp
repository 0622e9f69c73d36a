#include "portlib/ftdi/LibFtdi.h"

#include "portlib/ftdi/Description.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace portlib::ftdi {

namespace {

// Big enough that one operation's writes leave in one USB transfer.
constexpr unsigned kChunk = 1 << 16;
constexpr int kMaxPorts = 7;  // USB allows 7 tiers below the root hub

// The device list of the context, freed however the caller leaves.
class DeviceList {
public:
    explicit DeviceList(libusb_context* usb) { count_ = libusb_get_device_list(usb, &devs_); }
    ~DeviceList() {
        if (devs_) libusb_free_device_list(devs_, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    ssize_t count() const { return count_; }
    libusb_device* operator[](ssize_t i) const { return devs_[i]; }

private:
    libusb_device** devs_ = nullptr;
    ssize_t count_ = 0;
};

Device describe(libusb_device* dev, const libusb_device_descriptor& desc) {
    Device d;
    d.vendor = desc.idVendor;
    d.product = desc.idProduct;
    d.bus = libusb_get_bus_number(dev);
    d.address = libusb_get_device_address(dev);
    uint8_t ports[kMaxPorts];
    const int n = libusb_get_port_numbers(dev, ports, kMaxPorts);
    for (int i = 0; i < n; ++i) d.ports.push_back(ports[i]);
    return d;
}

// Through a handle of its own that claims nothing, so the serial driver keeps
// the chip and no libftdi context is touched.
void readSerial(libusb_device* dev, uint8_t index, Device& d) {
    libusb_device_handle* h = nullptr;
    if (const int rc = libusb_open(dev, &h); rc != 0) {
        d.serialProblem = libusb_error_name(rc);
        return;
    }
    unsigned char text[128] = {};
    const int n = libusb_get_string_descriptor_ascii(h, index, text, sizeof text - 1);
    if (n < 0) d.serialProblem = libusb_error_name(n);
    else d.serial.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n));
    libusb_close(h);
}

}  // namespace

LibFtdi::~LibFtdi() {
    close();
    if (ctx_) ftdi_free(ctx_);
}

ftdi_context* LibFtdi::context() {
    if (!ctx_) {
        ctx_ = ftdi_new();
        if (ctx_) ctx_->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    }
    return ctx_;
}

Result LibFtdi::failure(int code) const {
    const std::string text = ctx_ ? ftdi_get_error_string(ctx_) : "libftdi could not start";
    Status s = Status::Failed;
    switch (code) {
    case -4: s = Status::NoAccess; break;  // libusb_open refused: the device node's rights
    case -3:                               // the configuration could not be set: a driver holds it
    case -5: s = Status::Busy; break;      // another program or driver holds the interface
    case -8: s = text.find("permission") != std::string::npos ? Status::NoAccess : Status::Failed; break;
    default: break;
    }
    return {s, text};
}

std::string LibFtdi::ttyOf(const Device& d) const {
    // Interface A is interface 0 of configuration 1: BUS-PORTS:1.0/ttyUSBn.
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(sysfs_) / "bus/usb/devices" / (usbPath(d) + ":1.0");
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("ttyUSB", 0) == 0) return "/dev/" + name;
    }
    return {};
}

Listing LibFtdi::list() {
    Listing out;
    ftdi_context* ctx = context();
    if (!ctx) return {{Status::EnumerationFailed, "libusb could not start"}, {}};
    const DeviceList devs(ctx->usb_ctx);
    if (devs.count() < 0) {
        out.result = {Status::EnumerationFailed, libusb_error_name(static_cast<int>(devs.count()))};
        return out;
    }
    for (ssize_t i = 0; i < devs.count(); ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(devs[i], &desc) != 0) continue;
        Device d = describe(devs[i], desc);
        if (supported(d.vendor, d.product)) {
            // String index 0 means no serial: asking for it is an error.
            if (desc.iSerialNumber != 0) readSerial(devs[i], desc.iSerialNumber, d);
            d.tty = ttyOf(d);
        }
        out.devices.push_back(std::move(d));
    }
    return out;
}

Result LibFtdi::open(const Device& wanted) {
    close();
    ftdi_context* ctx = context();
    if (!ctx) return {Status::Failed, "libftdi could not start"};
    const DeviceList devs(ctx->usb_ctx);
    if (devs.count() < 0)
        return {Status::EnumerationFailed, libusb_error_name(static_cast<int>(devs.count()))};
    for (ssize_t i = 0; i < devs.count(); ++i) {
        libusb_device* dev = devs[i];
        if (libusb_get_bus_number(dev) != wanted.bus || libusb_get_device_address(dev) != wanted.address) continue;
        libusb_device_descriptor desc{};
        if (const int rc = libusb_get_device_descriptor(dev, &desc); rc != 0)
            return {Status::Failed, libusb_error_name(rc)};
        // Nothing is sent to a device that is not one of ours.
        if (!supported(desc.idVendor, desc.idProduct))
            return {Status::NotFtdi, hex4(desc.idVendor) + ":" + hex4(desc.idProduct)};
        ftdi_set_interface(ctx, INTERFACE_A);
        if (const int rc = ftdi_usb_open_dev(ctx, dev); rc < 0) return failure(rc);
        open_ = true;
        ftdi_write_data_set_chunksize(ctx, kChunk);
        return {};
    }
    return {Status::NotFound, "no USB device at that bus and address"};
}

Result LibFtdi::setBitBang(uint8_t outputMask) {
    if (!open_) return {Status::Failed, "not open"};
    if (const int rc = ftdi_set_bitmode(ctx_, outputMask, BITMODE_BITBANG); rc < 0) return failure(rc);
    return {};
}

Result LibFtdi::setWriteRate(int writesPerSecond) {
    if (!open_) return {Status::Failed, "not open"};
    if (const int rc = ftdi_set_baudrate(ctx_, baudFor(writesPerSecond)); rc < 0) return failure(rc);
    return {};
}

Result LibFtdi::write(const uint8_t* bytes, std::size_t count) {
    if (!open_) return {Status::Failed, "not open"};
    const int rc = ftdi_write_data(ctx_, bytes, static_cast<int>(count));
    if (rc < 0 || static_cast<std::size_t>(rc) != count) return {Status::Failed, ftdi_get_error_string(ctx_)};
    return {};
}

void LibFtdi::close() {
    if (!open_) return;
    open_ = false;
    // Back to serial mode before the kernel's serial driver takes the chip again.
    ftdi_disable_bitbang(ctx_);
    ftdi_usb_close(ctx_);
}

}  // namespace portlib::ftdi
