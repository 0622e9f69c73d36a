#pragma once
// A real printer port through Linux ppdev (/dev/parportN). Needs membership
// of group lp, never root. The device is opened and claimed by
// ClaimParallelPort; until then the back end owns no address.
#include "portlib/PortBackend.h"

#include <optional>

class PpdevPort final : public PortBackend {
public:
    static constexpr const char* kProcRoot = "/proc/sys/dev/parport";

    // device: e.g. "/dev/parport0"; procRoot holds parportN/base-addr.
    explicit PpdevPort(std::string device, std::string procRoot = kProcRoot);
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    int32_t GetParallelPortCount() override { return 1; }
    int32_t ClaimParallelPort(int32_t port, int32_t flags) override;
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) override;
    int32_t InByte(uint16_t address) override;
    void OutByte(uint16_t address, int32_t value) override;
    bool ownsAddress(uint16_t address) const override;
    std::string describe() const override { return "printer port " + device_; }
    std::string instrumentName() const override { return "PARPORT " + device_; }
    bool reachable() override { return isOpen(); }

    bool isOpen() const { return fd_ >= 0; }
    // The I/O base the kernel reports for this port, if it can be read.
    std::optional<uint16_t> baseAddress() const;

    // "cannot open /dev/parport0: Permission denied (join group lp)"
    static std::string openFailureText(const std::string& device, const char* what, int error);

private:
    void ioctlOrThrow(unsigned long request, void* arg, const char* name);

    std::string device_;
    std::string procRoot_;
    std::optional<uint16_t> base_;
    int fd_ = -1;
};

namespace portlib {
// The first decimal number in a base-addr file's text ("888\t-1\n" -> 888).
std::optional<uint16_t> parseBaseAddr(const std::string& text);
}  // namespace portlib
