#include "portlib/ftdi/Description.h"

#include <algorithm>
#include <cstdio>

namespace portlib::ftdi {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits only, at most max.
std::optional<int> decimal(std::string_view s, int max) {
    if (s.empty() || s.size() > 7) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (!isDigit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > max) return std::nullopt;
    return v;
}

// A 16-bit id: 0x-prefixed hexadecimal or decimal.
std::optional<int> id(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        if (s.size() > 4) return std::nullopt;
        int v = 0;
        for (char c : s) {
            int digit;
            if (isDigit(c)) digit = c - '0';
            else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            else return std::nullopt;
            v = v * 16 + digit;
        }
        return v;
    }
    return decimal(s, 0xFFFF);
}

std::vector<std::string_view> fields(std::string_view s, std::size_t most) {
    std::vector<std::string_view> out;
    while (out.size() + 1 < most) {
        const auto colon = s.find(':');
        if (colon == std::string_view::npos) break;
        out.push_back(s.substr(0, colon));
        s.remove_prefix(colon + 1);
    }
    out.push_back(s);
    return out;
}

Parsed bad(std::string why) { return {std::nullopt, std::move(why)}; }

// VID:PID at the front of fields; on success fills d.
std::optional<std::string> idsProblem(std::string_view vid, std::string_view pid, Description& d) {
    const auto v = id(vid), p = id(pid);
    if (!v) return "vendor '" + std::string(vid) + "' is no 0x-prefixed hexadecimal or decimal id";
    if (!p) return "product '" + std::string(pid) + "' is no 0x-prefixed hexadecimal or decimal id";
    d.vendor = *v;
    d.product = *p;
    if (!supported(*v, *p))
        return hex4(*v) + ":" + hex4(*p) + " is no FTDI adapter this program drives (vendor 0x0403, products "
               "0x6001 0x6010 0x6011 0x6014 0x6015)";
    return std::nullopt;
}

}  // namespace

bool supported(int vendor, int product) {
    return vendor == kVendor && std::find(std::begin(kProducts), std::end(kProducts), product) != std::end(kProducts);
}

std::string hex4(int value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", value & 0xFFFF);
    return buf;
}

std::string productName(int product) {
    switch (product) {
    case 0x6001: return "FT232R";
    case 0x6010: return "FT2232";
    case 0x6011: return "FT4232";
    case 0x6014: return "FT232H";
    case 0x6015: return "FT-X";
    default: return hex4(product);
    }
}

std::string ids(const Device& d) { return hex4(d.vendor) + ":" + hex4(d.product); }

std::string usbPath(const Device& d) {
    std::string path = std::to_string(d.bus);
    for (std::size_t i = 0; i < d.ports.size(); ++i) path += (i == 0 ? "-" : ".") + std::to_string(d.ports[i]);
    return path;
}

Parsed parseDescription(std::string_view text) {
    Description d;
    if (text.empty()) return {d, {}};
    if (text.size() < 2 || text[1] != ':') return bad("it starts with none of i:, s:, d:");
    const char kind = text[0];
    const std::string_view rest = text.substr(2);
    if (kind == 'd') {
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return bad("d: needs BUS/DEV");
        const auto bus = decimal(rest.substr(0, slash), 255), address = decimal(rest.substr(slash + 1), 255);
        if (!bus || !address) return bad("BUS and DEV are decimal numbers up to 255, as lsusb shows them");
        d.kind = Description::Kind::Bus;
        d.bus = *bus;
        d.address = *address;
        return {d, {}};
    }
    if (kind == 'i') {
        const auto f = fields(rest, 3);
        if (f.size() < 2) return bad("i: needs VENDOR:PRODUCT");
        if (auto p = idsProblem(f[0], f[1], d)) return bad(*p);
        if (f.size() == 3) {
            const auto index = decimal(f[2], 1000);
            if (!index) return bad("INDEX '" + std::string(f[2]) + "' is no decimal number");
            d.index = *index;
        }
        d.kind = Description::Kind::Index;
        return {d, {}};
    }
    if (kind == 's') {
        const auto f = fields(rest, 3);
        if (f.size() < 3 || f[2].empty()) return bad("s: needs VENDOR:PRODUCT:SERIAL");
        if (auto p = idsProblem(f[0], f[1], d)) return bad(*p);
        for (char c : f[2])
            if (c <= ' ' || c > '~') return bad("a serial number is printable ASCII without spaces");
        d.kind = Description::Kind::Serial;
        d.serial = std::string(f[2]);
        return {d, {}};
    }
    return bad("it starts with none of i:, s:, d:");
}

Choice choose(const Description& want, const std::vector<Device>& devices) {
    Choice c;
    int index = want.index;
    for (const Device& d : devices) {
        const bool ours = supported(d.vendor, d.product);
        switch (want.kind) {
        case Description::Kind::Only:
            if (ours) c.candidates.push_back(&d);
            break;
        case Description::Kind::Bus:
            if (d.bus == want.bus && d.address == want.address) {
                c.device = &d;
                c.status = ours ? Status::Ok : Status::NotFtdi;
                return c;
            }
            break;
        case Description::Kind::Index:
            if (ours && d.vendor == want.vendor && d.product == want.product && index-- == 0) {
                c.device = &d;
                return c;
            }
            break;
        case Description::Kind::Serial:
            // A device whose serial could not be read is passed over, not stopped at.
            if (ours && d.vendor == want.vendor && d.product == want.product && d.serial == want.serial) {
                c.device = &d;
                return c;
            }
            break;
        }
    }
    if (want.kind == Description::Kind::Only && c.candidates.size() == 1) {
        c.device = c.candidates.front();
        return c;
    }
    c.status = c.candidates.size() > 1 ? Status::Several : Status::NotFound;
    return c;
}

const Device* sameAdapter(const Device& before, const std::vector<Device>& devices) {
    for (const Device& d : devices) {
        if (d.vendor != before.vendor || d.product != before.product) continue;
        if (!before.serial.empty() ? d.serial == before.serial
                                   : d.serial.empty() && d.bus == before.bus && d.ports == before.ports)
            return &d;
    }
    return nullptr;
}

}  // namespace portlib::ftdi
