#pragma once
// A stand-in for libusb-1.0: the tests link it ahead of the real library (or
// preload it into the program), so the real libftdi1 talks to pretend devices.
// The bus is set up and watched through these calls; QZ_FAKEUSB in the
// environment fills it when a process starts with it preloaded:
//   VID:PID:SERIAL:BUS:PORTS:ADDRESS[;...]   ids in hex, SERIAL empty for none,
//   PORTS dot-separated ("2.1"). While the file QZ_FAKEUSB_UNPLUGGED names
//   exists, every device is unplugged.
#include <cstdint>
#include <string>
#include <vector>

namespace fakeusb {

struct Pretend {
    uint16_t vendor = 0x0403;
    uint16_t product = 0x6014;
    std::string serial;  // empty: the descriptor has no serial string
    uint8_t bus = 1;
    std::vector<uint8_t> ports{1};
    uint8_t address = 2;
    int openError = 0;    // libusb_open fails with this (LIBUSB_ERROR_ACCESS)
    int stringError = 0;  // string requests fail with this
};

struct Event {
    int device = 0;      // the id plug() gave
    std::string what;    // open close claim release autodetach detach config string control bulk
    int index = 0;       // string index, interface, endpoint
    uint8_t requestType = 0, request = 0;
    uint16_t value = 0, windex = 0;
    std::vector<uint8_t> data;  // bulk bytes
    bool claimed = false;       // the handle had claimed an interface
};

void reset();
int plug(const Pretend& pretend);                 // returns the device's id
void unplug(int id);                        // its handles fail with LIBUSB_ERROR_NO_DEVICE
int replug(int id, uint8_t address, std::vector<uint8_t> ports = {});  // back with a new address; new id
void failEnumeration(int error);            // 0: list again
const std::vector<Event>& events();
void clearEvents();
// Reference counts the code under test still holds.
int deviceReferences();
int openHandles();
int contexts();

}  // namespace fakeusb
