#include "portlib/ppdev/PpdevPort.h"


#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace portlib {

std::optional<uint16_t> parseBaseAddr(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size()) return std::nullopt;
    unsigned long v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        v = v * 10 + static_cast<unsigned long>(text[i] - '0');
        if (v > 0xFFFF) return std::nullopt;  // not an x86 I/O address
    }
    return static_cast<uint16_t>(v);
}

}  // namespace portlib

namespace {
std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

PpdevPort::PpdevPort(std::string device, std::string procRoot)
    : device_(std::move(device)), procRoot_(std::move(procRoot)) {}

PpdevPort::~PpdevPort() {
    if (fd_ >= 0) {
        ioctl(fd_, PPRELEASE);
        ::close(fd_);
    }
}

std::string PpdevPort::openFailureText(const std::string& device, const char* what, int error) {
    std::string s = std::string("cannot ") + what + " " + device + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) s += " (join group lp)";
    return s;
}

std::optional<uint16_t> PpdevPort::baseAddress() const {
    std::ifstream in(procRoot_ + "/" + baseName(device_) + "/base-addr");
    if (!in) return std::nullopt;
    std::stringstream ss;
    ss << in.rdbuf();
    return portlib::parseBaseAddr(ss.str());
}

int32_t PpdevPort::ClaimParallelPort(int32_t port, int32_t) {
    if (port != 1) return 0;
    if (fd_ >= 0) return 1;
    const int fd = ::open(device_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        say(openFailureText(device_, "open", errno));
        return 0;
    }
    // Exclusive: no printer daemon may interleave its bytes with our words.
    if (ioctl(fd, PPEXCL) < 0 || ioctl(fd, PPCLAIM) < 0) {
        say(openFailureText(device_, "claim", errno));
        ::close(fd);
        return 0;
    }
    fd_ = fd;
    base_ = baseAddress();
    if (!base_) say("no I/O base address for " + device_ + " under " + procRoot_);
    return 1;
}

int32_t PpdevPort::GetParallelPortInfo(int32_t port, ParallelPortInfo& info) {
    if (port != 1) return 0;
    const auto base = base_ ? base_ : baseAddress();
    if (!base) return 0;
    info.baseAddress = *base;
    return 1;
}

bool PpdevPort::ownsAddress(uint16_t address) const {
    return fd_ >= 0 && base_ && address >= *base_ && address - *base_ <= 2;
}

void PpdevPort::ioctlOrThrow(unsigned long request, void* arg, const char* name) {
    if (ioctl(fd_, request, arg) < 0)
        throw PortError("" + device_ + ": " + name + " failed: " + std::strerror(errno));
}

int32_t PpdevPort::InByte(uint16_t address) {
    if (!ownsAddress(address)) return 0xFF;
    unsigned char v = 0;
    switch (address - *base_) {
    case 0: ioctlOrThrow(PPRDATA, &v, "PPRDATA"); break;
    case 1: ioctlOrThrow(PPRSTATUS, &v, "PPRSTATUS"); break;
    default: ioctlOrThrow(PPRCONTROL, &v, "PPRCONTROL"); break;
    }
    return v;
}

void PpdevPort::OutByte(uint16_t address, int32_t value) {
    if (!ownsAddress(address)) return;
    unsigned char v = static_cast<unsigned char>(value);
    switch (address - *base_) {
    case 0: ioctlOrThrow(PPWDATA, &v, "PPWDATA"); break;
    case 1: break;  // the status register is read-only
    default: {
        // ppdev keeps only the four line bits; bit 5 is the data direction.
        unsigned char lines = v & 0x0F;
        ioctlOrThrow(PPWCONTROL, &lines, "PPWCONTROL");
        if (!(v & 0x20)) {
            int forward = 0;
            ioctlOrThrow(PPDATADIR, &forward, "PPDATADIR");
        }
        break;
    }
    }
}
