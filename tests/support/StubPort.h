#pragma once
// A back end where every address answers and nothing is kept; tests override
// what they watch.
#include "portlib/PortBackend.h"

class StubPort : public PortBackend {
public:
    int32_t GetParallelPortCount() override { return 1; }
    int32_t ClaimParallelPort(int32_t, int32_t) override { return 1; }
    int32_t GetParallelPortInfo(int32_t, ParallelPortInfo&) override { return 0; }
    int32_t InByte(uint16_t) override { return 0; }
    void OutByte(uint16_t, int32_t) override {}
    bool ownsAddress(uint16_t) const override { return true; }
    std::string describe() const override { return "stub"; }
};
