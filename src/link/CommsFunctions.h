#pragma once
// The serial word transmitter: one 16-bit word as 52 writes to the data
// register (bit 0 clock, bit 1 data, bit 2 frame, active low).
#include "portlib/Parllio.h"

#include <cstdint>

class Transmitter {
public:
    explicit Transmitter(portlib::Parllio& port) : port_(port) {}

    void WritePort(uint16_t port, int32_t value) { port_.OutByte(port, value & 0xFF); }
    // Sends bits 15..0 of word, most significant first, to the data register at port.
    void SendWord(uint16_t port, int32_t word);
    // The same to the port the user selected, read under the word's own lock
    // so a port chosen meanwhile never splits a word.
    void send(int32_t word) {
        std::lock_guard guard(port_.lock());
        SendWord(port_.portAddress(), word);
    }

    portlib::Parllio& port() { return port_; }

private:
    portlib::Parllio& port_;
};
