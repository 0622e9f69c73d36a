#pragma once
// The board on an FTDI USB chip in asynchronous bit-bang mode: ADBUS0..2 are
// the clock, data and frame pins (D0..D2 of the data register), the other
// pins stay inputs. Writes are gathered and sent in one USB transfer per
// operation (see portlib::OperationScope); outside any operation a word goes
// out as soon as its frame ends, and anything pending goes out before a read.
#include "portlib/PinPort.h"
#include "portlib/ftdi/FtdiApi.h"

#include <functional>
#include <memory>
#include <vector>

class FtdiPort final : public PinPort {
public:
    static constexpr int kDefaultRate = 1'000'000;  // pin writes per second, a fast printer port
    static constexpr uint8_t kOutputs = 0x07;

    // description: d:BUS/DEV, i:VID:PID[:INDEX] or s:VID:PID:SERIAL, or empty
    // for the one adapter attached.
    FtdiPort(std::unique_ptr<portlib::ftdi::Api> api, std::string description, int writesPerSecond = kDefaultRate);
    // Sends what is pending and closes: the kernel's serial driver gets the chip back.
    ~FtdiPort() override;

    void operationStarted() override { inOperation_ = true; }
    void operationDone() override {
        inOperation_ = false;
        send();
    }
    void flush() override;
    std::string describe() const override;
    StatusLine statusLine(uint16_t address) override;
    std::string instrumentName() const override;
    // Reopens an adapter that stopped answering; false while it is still gone.
    bool reachable() override;
    // A word is 52 pin writes at the set pace, and each operation one USB
    // transfer: about a 1 ms frame on a full-speed chip, 125 us on a high-speed one.
    double wordsPerSecond() const override;

    // The adapter opened (or last opened), its pace, and whether it stopped
    // answering and is not back yet.
    const portlib::ftdi::Device& device() const { return device_; }
    int rate() const { return rate_; }
    bool unplugged() const { return lost_; }

    // Writes waiting for the end of an operation, and transfers sent so far.
    std::size_t pending() const { return pending_.size(); }
    uint64_t transfers() const { return transfers_; }

    // Called once after the adapter came back and was reopened, before the
    // action's own words: a board powered from the adapter lost its state, so
    // the owner sends it again. Its words leave with the action's.
    void setReopenHook(std::function<void()> hook) { reopenHook_ = std::move(hook); }

    // "s:0x0403:0x6014:FT12AB", or "d:001/004" without a serial: what selects it now.
    static std::string selector(const portlib::ftdi::Device& d);
    static std::string busDescription(const portlib::ftdi::Device& d);
    // The selector, and without a serial the USB port it sits in.
    static std::string name(const portlib::ftdi::Device& d);

protected:
    bool openPins() override;
    void drive(uint8_t data) override;
    void beforeRead() override { send(); }

private:
    // The adapter the description names, or false after saying why not.
    bool chooseDevice(portlib::ftdi::Device& chosen);
    // Opens, enters bit-bang mode, sets the idle level and the pace.
    portlib::ftdi::Result start(const portlib::ftdi::Device& device);
    std::string faultText(const portlib::ftdi::Result& r, const std::string& description) const;
    void send();
    void sendQuietly();  // a failure goes to the diagnostic line
    void reopen();

    std::unique_ptr<portlib::ftdi::Api> api_;
    std::string wanted_;
    int rate_;
    portlib::ftdi::Device device_;  // the adapter once opened
    bool open_ = false;
    bool inOperation_ = false;
    bool lost_ = false;  // it stopped answering; the next write tries to reopen it
    bool resending_ = false;  // the reopen hook runs: its words wait for the action's
    std::function<void()> reopenHook_;
    uint8_t last_ = kIdle;
    std::vector<uint8_t> pending_;
    uint64_t transfers_ = 0;
};
