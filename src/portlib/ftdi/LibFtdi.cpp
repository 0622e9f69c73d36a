#include "portlib/ftdi/LibFtdi.h"

#include <ftdi.h>
#include <libusb.h>

namespace portlib::ftdi {

namespace {

// Big enough that one operation's writes leave in one USB transfer.
constexpr unsigned kChunk = 1 << 16;

std::string serialOf(ftdi_context* ctx, libusb_device* dev) {
    char serial[128] = {};
    if (ftdi_usb_get_strings2(ctx, dev, nullptr, 0, nullptr, 0, serial, sizeof serial) < 0) return {};
    return serial;
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
    case -3: s = Status::NotFound; break;
    case -4: s = Status::NoAccess; break;  // libusb_open refused: the device node's rights
    case -5: s = Status::Busy; break;      // another program or driver holds the interface
    case -8: s = text.find("permission") != std::string::npos ? Status::NoAccess : Status::Failed; break;
    case -11: s = Status::BadDescription; break;
    default: break;
    }
    return {s, text};
}

std::vector<Device> LibFtdi::find(int product) {
    std::vector<Device> found;
    ftdi_context* ctx = context();
    if (!ctx) return found;
    ftdi_device_list* list = nullptr;
    if (ftdi_usb_find_all(ctx, &list, kVendor, product) <= 0) return found;
    for (ftdi_device_list* d = list; d; d = d->next)
        found.push_back({product, serialOf(ctx, d->dev), libusb_get_bus_number(d->dev), libusb_get_device_address(d->dev)});
    ftdi_list_free(&list);
    return found;
}

Result LibFtdi::open(const std::string& description) {
    close();
    ftdi_context* ctx = context();
    if (!ctx) return {Status::Failed, "libftdi could not start"};
    ftdi_set_interface(ctx, INTERFACE_A);
    if (const int rc = ftdi_usb_open_string(ctx, description.c_str()); rc < 0) return failure(rc);
    open_ = true;
    ftdi_write_data_set_chunksize(ctx, kChunk);
    return {};
}

Device LibFtdi::opened() {
    Device d;
    if (!open_) return d;
    libusb_device* dev = libusb_get_device(ctx_->usb_dev);
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(dev, &desc) == 0) d.product = desc.idProduct;
    d.serial = serialOf(ctx_, dev);
    d.bus = libusb_get_bus_number(dev);
    d.address = libusb_get_device_address(dev);
    return d;
}

Result LibFtdi::setBitBang(uint8_t outputMask) {
    if (const int rc = ftdi_set_bitmode(ctx_, outputMask, BITMODE_BITBANG); rc < 0) return failure(rc);
    return {};
}

Result LibFtdi::setWriteRate(int writesPerSecond) {
    if (const int rc = ftdi_set_baudrate(ctx_, baudFor(writesPerSecond)); rc < 0) return failure(rc);
    return {};
}

Result LibFtdi::write(const uint8_t* bytes, std::size_t count) {
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
