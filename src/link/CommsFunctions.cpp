#include "link/CommsFunctions.h"

#include "portlib/Parllio.h"

uint16_t PortAddress = 0;

void WritePort(uint16_t port, int32_t value) { OutByte(port, value & 0xFF); }

void SendWord(uint16_t port, int32_t word) {
    WritePort(port, 4);  // idle: frame high
    for (int k = 15; k >= 0; --k) {
        const bool bit = (word & (1 << k)) != 0;
        WritePort(port, 0);            // frame low, clock low, data low
        WritePort(port, bit ? 3 : 1);  // clock rises with the data set up
        WritePort(port, bit ? 2 : 0);  // clock falls: the chip latches here
    }
    WritePort(port, 0);
    WritePort(port, 0);
    WritePort(port, 4);  // frame high: end of the word
}
