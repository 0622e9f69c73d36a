#pragma once
// One back end of the parallel-port library: a simulated board, a Linux ppdev
// port, an FTDI USB adapter, GPIO lines, or a decorator (trace, VCD,
// recording, monitor) around another back end.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// The record the library fills for GetParallelPortInfo.
struct ParallelPortInfo {
    int32_t size = 12;
    int32_t baseAddress = 0;
    int32_t reserved = 0;
};

// A port operation that failed (device gone, ioctl refused).
struct PortError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The port as the status bar shows it; a warning is shown in its colour.
struct StatusLine {
    std::string text;
    bool warning = false;
};

class PortBackend {
public:
    virtual ~PortBackend() = default;
    virtual int32_t GetParallelPortCount() = 0;
    // Non-zero when the port is now ours.
    virtual int32_t ClaimParallelPort(int32_t port, int32_t flags) = 0;
    // Non-zero when info.baseAddress holds the port's base.
    virtual int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) = 0;
    virtual int32_t InByte(uint16_t address) = 0;
    virtual void OutByte(uint16_t address, int32_t value) = 0;
    // Whether the address is a register of a port this back end drives.
    virtual bool ownsAddress(uint16_t address) const = 0;
    // Writes buffered output through (trace files); default nothing.
    virtual void flush() {}
    // Why a trace or waveform file stopped short ("trace incomplete: ..."),
    // empty while it is whole; default empty.
    virtual std::string recordFailure() const { return {}; }
    // The outermost OperationScope began; default nothing.
    virtual void operationStarted() {}
    // The outermost OperationScope ended: a back end that gathers writes sends
    // them now, and throws PortError when it cannot. Default nothing.
    virtual void operationDone() {}
    // Whether words written now reach a device: false while the device behind
    // the port is gone; an adapter that went away is reopened first.
    virtual bool reachable() { return true; }
    virtual std::string describe() const = 0;
    // The status bar's line for the port words are sent to at `address`:
    // default, describe() with a capital, or that words are dropped.
    virtual StatusLine statusLine(uint16_t address);
    // How *IDN? names the port: "SIM", "PARPORT /dev/parport0", "FTDI FT5ABCDE",
    // "GPIO gpiochip0 17 27 22".
    virtual std::string instrumentName() const { return "NONE"; }
    // How many one-word operations a second the port carries (each its own
    // operation, as keying sends them); 0 when it sets no limit of its own.
    virtual double wordsPerSecond() const { return 0; }

    // Where the back end's lines go (the port installs its own); without one, stderr.
    virtual void setSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

protected:
    // One line for the user, without the program's name (the sink adds it).
    void say(const std::string& line) const;

private:
    std::function<void(const std::string&)> sink_;
};

// Forwards everything to an inner back end; decorators override what they watch.
class PortBackendDecorator : public PortBackend {
public:
    explicit PortBackendDecorator(std::unique_ptr<PortBackend> inner) : inner_(std::move(inner)) {}
    int32_t GetParallelPortCount() override { return inner_->GetParallelPortCount(); }
    int32_t ClaimParallelPort(int32_t port, int32_t flags) override { return inner_->ClaimParallelPort(port, flags); }
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) override {
        return inner_->GetParallelPortInfo(port, info);
    }
    int32_t InByte(uint16_t address) override { return inner_->InByte(address); }
    void OutByte(uint16_t address, int32_t value) override { inner_->OutByte(address, value); }
    bool ownsAddress(uint16_t address) const override { return inner_->ownsAddress(address); }
    void flush() override { inner_->flush(); }
    std::string recordFailure() const override { return inner_->recordFailure(); }
    void operationStarted() override { inner_->operationStarted(); }
    void operationDone() override { inner_->operationDone(); }
    bool reachable() override { return inner_->reachable(); }
    std::string describe() const override { return inner_->describe(); }
    StatusLine statusLine(uint16_t address) override { return inner_->statusLine(address); }
    std::string instrumentName() const override { return inner_->instrumentName(); }
    double wordsPerSecond() const override { return inner_->wordsPerSecond(); }
    void setSink(std::function<void(const std::string&)> sink) override {
        PortBackend::setSink(sink);
        inner_->setSink(std::move(sink));
    }
    PortBackend& inner() { return *inner_; }

private:
    std::unique_ptr<PortBackend> inner_;
};
