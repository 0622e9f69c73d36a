#pragma once
// The VXI-11 core program's entry in rpcbind, which holds one per host: the
// first program to come takes it and gives it back at its end; an entry whose
// port no longer answers (its program was killed) is stale and is replaced; a
// live one means another program serves VXI-11 here.
#include <cstdint>
#include <string>

namespace vxi11 {

class Registration {
public:
    Registration() = default;
    ~Registration() { release(); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    // Registers `port` (TCP); false with why() when VXI-11 cannot be served.
    bool take(uint16_t port);
    // Removes the entry if this program made it. Safe to call more than once.
    void release();
    bool held() const { return held_; }
    const std::string& why() const { return why_; }

private:
    bool held_ = false;
    std::string why_;
};

// The TCP port rpcbind on this host gives for the VXI-11 core program:
// 0 when none is registered, -1 when rpcbind does not answer.
int registeredCorePort();

}  // namespace vxi11
