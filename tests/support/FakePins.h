#pragma once
// Fake FTDI and GPIO libraries that record what would reach the pins, for the
// adapter back ends' tests and benchmarks.
#include "portlib/ftdi/FtdiApi.h"
#include "portlib/gpio/GpioApi.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the fake FTDI library was asked and what it sent, shared with the test
// after the back end has taken the fake.
struct FakeFtdiState {
    std::vector<portlib::ftdi::Device> attached;
    portlib::ftdi::Result listResult;  // a failure here fails every listing
    portlib::ftdi::Result openResult;  // a failure here fails every open
    portlib::ftdi::Result bitBangResult;
    portlib::ftdi::Result rateResult;
    bool unplugged = false;  // writes fail and opens find nothing

    std::vector<std::string> calls;  // "open d:001/004", "bitbang 0x07", "write 1", "rate 1000000", "close"
    std::vector<std::vector<uint8_t>> transfers;
    bool keepTransfers = true;  // off: only count them (benchmarks)
    std::function<void(const uint8_t*, std::size_t)> onWrite;
    uint64_t transferCount = 0;

    // Every byte that reached the pins, in order.
    std::vector<uint8_t> pins() const;
};

class FakeFtdi final : public portlib::ftdi::Api {
public:
    explicit FakeFtdi(std::shared_ptr<FakeFtdiState> state) : s_(std::move(state)) {}
    portlib::ftdi::Listing list() override;
    portlib::ftdi::Result open(const portlib::ftdi::Device& device) override;
    portlib::ftdi::Result setBitBang(uint8_t outputMask) override;
    portlib::ftdi::Result setWriteRate(int writesPerSecond) override;
    portlib::ftdi::Result write(const uint8_t* bytes, std::size_t count) override;
    void close() override;

private:
    std::shared_ptr<FakeFtdiState> s_;
    bool open_ = false;
};

struct FakeGpioState {
    std::string chipName = "gpiochip0";
    unsigned lines = 54;
    int openError = 0;
    int requestError = 0;
    std::string holder;  // the consumer a busy line names
    int setError = 0;

    std::string openedChip;
    portlib::gpio::Offsets requested{};
    portlib::gpio::Levels initial{};
    std::string consumer;
    std::vector<uint8_t> pins;  // each set as a data-register byte: clock bit 0, data bit 1, frame bit 2
    bool keepPins = true;
    uint64_t sets = 0;
    bool closed = false;
};

class FakeGpio final : public portlib::gpio::Api {
public:
    explicit FakeGpio(std::shared_ptr<FakeGpioState> state) : s_(std::move(state)) {}
    int openChip(const std::string& chip) override;
    std::string chipName() override { return s_->chipName; }
    unsigned lineCount() override { return s_->lines; }
    int requestOutputs(const portlib::gpio::Offsets& offsets, const portlib::gpio::Levels& levels,
                       const char* consumer) override;
    std::string consumer(unsigned) override { return s_->holder; }
    int setLevels(const portlib::gpio::Levels& levels) override;
    void close() override { s_->closed = true; }

private:
    std::shared_ptr<FakeGpioState> s_;
};
