#pragma once
// The serial word transmitter: one 16-bit word as 52 writes to the data
// register (bit 0 clock, bit 1 data, bit 2 frame, active low).
#include <cstdint>

// Base address of the selected printer port's data register; the control
// register is at PortAddress + 2. Unsigned: PCIe cards sit above 0x7FFF.
extern uint16_t PortAddress;

void WritePort(uint16_t port, int32_t value);
// Sends bits 15..0 of word, most significant first.
void SendWord(uint16_t port, int32_t word);
