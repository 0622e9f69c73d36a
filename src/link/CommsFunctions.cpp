#include "link/CommsFunctions.h"

#include "portlib/Wire.h"

void Transmitter::SendWord(uint16_t port, int32_t word) {
    // A word's writes stay together even when another thread sends too.
    std::lock_guard guard(port_.lock());
    using wire::kClock, wire::kData, wire::kIdle;
    WritePort(port, kIdle);
    for (int k = 15; k >= 0; --k) {
        const uint8_t data = (word & (1 << k)) ? kData : 0;
        WritePort(port, 0);               // frame low, clock low, data low
        WritePort(port, data | kClock);   // clock rises with the data set up
        WritePort(port, data);            // clock falls: the chip latches here
    }
    WritePort(port, 0);
    WritePort(port, 0);
    WritePort(port, kIdle);  // frame high: end of the word
}
