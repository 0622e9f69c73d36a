// The libusb calls libftdi1 1.5 and the FTDI back end make, on pretend devices.
#include "support/fakeusb/FakeUsb.h"

#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include <unistd.h>

struct libusb_context {
    int unused = 0;
};

struct libusb_device {
    int id = 0;
    fakeusb::Pretend pretend;
    bool present = true;
    int refs = 0;
};

struct libusb_device_handle {
    libusb_device* dev = nullptr;
    bool claimed = false;
};

namespace fakeusb {

namespace {

struct Config {
    libusb_config_descriptor config{};
    std::vector<libusb_interface> interfaces;
    std::vector<libusb_interface_descriptor> settings;
    std::vector<libusb_endpoint_descriptor> endpoints;
};

// A stand-in for a system library has only process-wide state, as the real one.
struct Bus {
    std::vector<std::unique_ptr<libusb_device>> devices;  // every device ever plugged, in plug order
    std::vector<Event> events;
    std::map<libusb_config_descriptor*, std::unique_ptr<Config>> configs;
    int enumerationError = 0;
    int handles = 0;
    int contexts = 0;
    bool fromEnvironment = false;
};

Bus& bus() {
    static Bus b;
    return b;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::stringstream in(s);
    std::string part;
    while (std::getline(in, part, sep)) out.push_back(part);
    if (!s.empty() && s.back() == sep) out.emplace_back();
    return out;
}

void loadEnvironment() {
    Bus& b = bus();
    if (b.fromEnvironment) return;
    b.fromEnvironment = true;
    const char* text = std::getenv("QZ_FAKEUSB");
    if (!text) return;
    for (const std::string& entry : split(text, ';')) {
        const auto f = split(entry, ':');
        if (f.size() != 6) continue;
        Pretend s;
        s.vendor = static_cast<uint16_t>(std::strtoul(f[0].c_str(), nullptr, 16));
        s.product = static_cast<uint16_t>(std::strtoul(f[1].c_str(), nullptr, 16));
        s.serial = f[2];
        s.bus = static_cast<uint8_t>(std::atoi(f[3].c_str()));
        s.ports.clear();
        for (const std::string& p : split(f[4], '.')) s.ports.push_back(static_cast<uint8_t>(std::atoi(p.c_str())));
        s.address = static_cast<uint8_t>(std::atoi(f[5].c_str()));
        plug(s);
    }
}

void record(libusb_device_handle* h, const char* what, int index = 0) {
    Event e;
    e.device = h->dev->id;
    e.what = what;
    e.index = index;
    e.claimed = h->claimed;
    bus().events.push_back(std::move(e));
}

uint16_t bcdDevice(uint16_t product) {
    switch (product) {
    case 0x6001: return 0x0600;
    case 0x6010: return 0x0700;
    case 0x6011: return 0x0800;
    case 0x6014: return 0x0900;
    case 0x6015: return 0x1000;
    default: return 0x0100;
    }
}

// QZ_FAKEUSB_UNPLUGGED names a file: while it exists, every device is away
// (unplugging from outside a program run on the stand-in).
bool present(const libusb_device* d) {
    const char* file = std::getenv("QZ_FAKEUSB_UNPLUGGED");
    return d->present && !(file && ::access(file, F_OK) == 0);
}

int interfaceCount(uint16_t product) { return product == 0x6010 ? 2 : product == 0x6011 ? 4 : 1; }

}  // namespace

void reset() {
    Bus& b = bus();
    b.devices.clear();
    b.events.clear();
    b.enumerationError = 0;
    b.fromEnvironment = true;
}

int plug(const Pretend& pretend) {
    auto d = std::make_unique<libusb_device>();
    d->id = static_cast<int>(bus().devices.size()) + 1;
    d->pretend = pretend;
    bus().devices.push_back(std::move(d));
    return bus().devices.back()->id;
}

void unplug(int id) { bus().devices.at(static_cast<std::size_t>(id - 1))->present = false; }

int replug(int id, uint8_t address, std::vector<uint8_t> ports) {
    Pretend s = bus().devices.at(static_cast<std::size_t>(id - 1))->pretend;
    s.address = address;
    if (!ports.empty()) s.ports = std::move(ports);
    return plug(s);
}

void failEnumeration(int error) { bus().enumerationError = error; }
const std::vector<Event>& events() { return bus().events; }
void clearEvents() { bus().events.clear(); }

int deviceReferences() {
    int refs = 0;
    for (const auto& d : bus().devices) refs += d->refs;
    return refs;
}

int openHandles() { return bus().handles; }
int contexts() { return bus().contexts; }

}  // namespace fakeusb

using namespace fakeusb;

extern "C" {

int libusb_init(libusb_context** ctx) {
    fakeusb::loadEnvironment();
    ++bus().contexts;
    if (ctx) *ctx = new libusb_context;
    return 0;
}

void libusb_exit(libusb_context* ctx) {
    --bus().contexts;
    delete ctx;
}

const char* libusb_error_name(int code) {
    switch (code) {
    case LIBUSB_SUCCESS: return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO: return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM: return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS: return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE: return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND: return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY: return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_PIPE: return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_NO_MEM: return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED: return "LIBUSB_ERROR_NOT_SUPPORTED";
    default: return "LIBUSB_ERROR_OTHER";
    }
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    if (bus().enumerationError) return bus().enumerationError;
    std::vector<libusb_device*> present;
    for (const auto& d : bus().devices)
        if (fakeusb::present(d.get())) present.push_back(d.get());
    auto** out = static_cast<libusb_device**>(std::calloc(present.size() + 1, sizeof(libusb_device*)));
    for (std::size_t i = 0; i < present.size(); ++i) {
        ++present[i]->refs;
        out[i] = present[i];
    }
    *list = out;
    return static_cast<ssize_t>(present.size());
}

void libusb_free_device_list(libusb_device** list, int unref) {
    if (!list) return;
    if (unref)
        for (libusb_device** d = list; *d; ++d) --(*d)->refs;
    std::free(list);
}

libusb_device* libusb_ref_device(libusb_device* dev) {
    ++dev->refs;
    return dev;
}

void libusb_unref_device(libusb_device* dev) { --dev->refs; }

int libusb_get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) {
    std::memset(desc, 0, sizeof *desc);
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0200;
    desc->bMaxPacketSize0 = 64;
    desc->idVendor = dev->pretend.vendor;
    desc->idProduct = dev->pretend.product;
    desc->bcdDevice = bcdDevice(dev->pretend.product);
    desc->iManufacturer = 1;
    desc->iProduct = 2;
    desc->iSerialNumber = dev->pretend.serial.empty() ? 0 : 3;
    desc->bNumConfigurations = 1;
    return 0;
}

uint8_t libusb_get_bus_number(libusb_device* dev) { return dev->pretend.bus; }
uint8_t libusb_get_device_address(libusb_device* dev) { return dev->pretend.address; }

int libusb_get_port_numbers(libusb_device* dev, uint8_t* ports, int len) {
    const auto& p = dev->pretend.ports;
    if (static_cast<int>(p.size()) > len) return LIBUSB_ERROR_OVERFLOW;
    std::copy(p.begin(), p.end(), ports);
    return static_cast<int>(p.size());
}

int libusb_get_config_descriptor(libusb_device* dev, uint8_t index, libusb_config_descriptor** out) {
    if (index != 0) return LIBUSB_ERROR_NOT_FOUND;
    auto c = std::make_unique<fakeusb::Config>();
    const int n = fakeusb::interfaceCount(dev->pretend.product);
    const uint16_t packet = dev->pretend.product == 0x6001 || dev->pretend.product == 0x6015 ? 64 : 512;
    c->interfaces.resize(static_cast<std::size_t>(n));
    c->settings.resize(static_cast<std::size_t>(n));
    c->endpoints.resize(static_cast<std::size_t>(2 * n));
    for (int i = 0; i < n; ++i) {
        libusb_endpoint_descriptor* ep = &c->endpoints[static_cast<std::size_t>(2 * i)];
        ep[0].bEndpointAddress = static_cast<uint8_t>(0x81 + 2 * i);
        ep[1].bEndpointAddress = static_cast<uint8_t>(0x02 + 2 * i);
        for (int k = 0; k < 2; ++k) {
            ep[k].bLength = LIBUSB_DT_ENDPOINT_SIZE;
            ep[k].bDescriptorType = LIBUSB_DT_ENDPOINT;
            ep[k].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
            ep[k].wMaxPacketSize = packet;
        }
        libusb_interface_descriptor& s = c->settings[static_cast<std::size_t>(i)];
        s.bLength = LIBUSB_DT_INTERFACE_SIZE;
        s.bDescriptorType = LIBUSB_DT_INTERFACE;
        s.bInterfaceNumber = static_cast<uint8_t>(i);
        s.bNumEndpoints = 2;
        s.bInterfaceClass = 0xFF;
        s.endpoint = ep;
        c->interfaces[static_cast<std::size_t>(i)].altsetting = &s;
        c->interfaces[static_cast<std::size_t>(i)].num_altsetting = 1;
    }
    c->config.bLength = LIBUSB_DT_CONFIG_SIZE;
    c->config.bDescriptorType = LIBUSB_DT_CONFIG;
    c->config.bNumInterfaces = static_cast<uint8_t>(n);
    c->config.bConfigurationValue = 1;
    c->config.interface = c->interfaces.data();
    *out = &c->config;
    bus().configs[&c->config] = std::move(c);
    return 0;
}

void libusb_free_config_descriptor(libusb_config_descriptor* config) { bus().configs.erase(config); }

int libusb_open(libusb_device* dev, libusb_device_handle** handle) {
    if (!fakeusb::present(dev)) return LIBUSB_ERROR_NO_DEVICE;
    if (dev->pretend.openError) return dev->pretend.openError;
    auto* h = new libusb_device_handle;
    h->dev = libusb_ref_device(dev);
    ++bus().handles;
    record(h, "open");
    *handle = h;
    return 0;
}

void libusb_close(libusb_device_handle* h) {
    if (!h) return;
    record(h, "close");
    libusb_unref_device(h->dev);
    --bus().handles;
    delete h;
}

int libusb_get_configuration(libusb_device_handle* h, int* config) {
    if (!fakeusb::present(h->dev)) return LIBUSB_ERROR_NO_DEVICE;
    *config = 1;
    return 0;
}

int libusb_set_configuration(libusb_device_handle* h, int config) {
    record(h, "config", config);
    return fakeusb::present(h->dev) ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle* h, int enable) {
    record(h, "autodetach", enable);
    return 0;
}

int libusb_detach_kernel_driver(libusb_device_handle* h, int interface) {
    record(h, "detach", interface);
    return fakeusb::present(h->dev) ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_claim_interface(libusb_device_handle* h, int interface) {
    if (!fakeusb::present(h->dev)) return LIBUSB_ERROR_NO_DEVICE;
    record(h, "claim", interface);
    h->claimed = true;
    return 0;
}

int libusb_release_interface(libusb_device_handle* h, int interface) {
    record(h, "release", interface);
    h->claimed = false;
    return fakeusb::present(h->dev) ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_control_transfer(libusb_device_handle* h, uint8_t requestType, uint8_t request, uint16_t value,
                            uint16_t index, unsigned char* data, uint16_t length, unsigned int) {
    if (!fakeusb::present(h->dev)) return LIBUSB_ERROR_NO_DEVICE;
    fakeusb::Event e;
    e.device = h->dev->id;
    e.what = "control";
    e.requestType = requestType;
    e.request = request;
    e.value = value;
    e.windex = index;
    e.claimed = h->claimed;
    bus().events.push_back(std::move(e));
    if ((requestType & LIBUSB_ENDPOINT_IN) && data) std::memset(data, 0, length);
    return length;
}

int libusb_bulk_transfer(libusb_device_handle* h, unsigned char endpoint, unsigned char* data, int length,
                         int* actual, unsigned int) {
    if (!fakeusb::present(h->dev)) return LIBUSB_ERROR_NO_DEVICE;
    fakeusb::Event e;
    e.device = h->dev->id;
    e.what = "bulk";
    e.index = endpoint;
    e.claimed = h->claimed;
    if (!(endpoint & LIBUSB_ENDPOINT_IN)) e.data.assign(data, data + length);
    bus().events.push_back(std::move(e));
    if (actual) *actual = (endpoint & LIBUSB_ENDPOINT_IN) ? 0 : length;
    return 0;
}

int libusb_get_string_descriptor_ascii(libusb_device_handle* h, uint8_t index, unsigned char* data, int length) {
    record(h, "string", index);
    if (index == 0) return LIBUSB_ERROR_INVALID_PARAM;  // as the real library: 0 is no string
    if (!fakeusb::present(h->dev)) return LIBUSB_ERROR_NO_DEVICE;
    if (h->dev->pretend.stringError) return h->dev->pretend.stringError;
    std::string text;
    if (index == 1) text = "FTDI";
    else if (index == 2) text = "Pretend adapter";
    else if (index == 3 && !h->dev->pretend.serial.empty()) text = h->dev->pretend.serial;
    else return LIBUSB_ERROR_PIPE;
    const int n = std::min(static_cast<int>(text.size()), length - 1);
    std::memcpy(data, text.data(), static_cast<std::size_t>(n));
    data[n] = 0;
    return n;
}

// Asynchronous transfers: libftdi's streaming calls, which the program never makes.
libusb_transfer* libusb_alloc_transfer(int) { return nullptr; }
void libusb_free_transfer(libusb_transfer*) {}
int libusb_submit_transfer(libusb_transfer*) { return LIBUSB_ERROR_NOT_SUPPORTED; }
int libusb_cancel_transfer(libusb_transfer*) { return LIBUSB_ERROR_NOT_SUPPORTED; }
int libusb_handle_events_timeout(libusb_context*, struct timeval*) { return LIBUSB_ERROR_NOT_SUPPORTED; }
int libusb_handle_events_timeout_completed(libusb_context*, struct timeval*, int*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

}  // extern "C"
