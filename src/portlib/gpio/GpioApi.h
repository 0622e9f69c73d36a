#pragma once
// The libgpiod calls the GPIO back end makes, behind a small interface so
// tests can put a fake chip in their place.
#include <array>
#include <string>

namespace portlib::gpio {

// Clock, data and frame, in that order.
using Offsets = std::array<unsigned, 3>;
using Levels = std::array<int, 3>;

class Api {
public:
    virtual ~Api() = default;
    // Opens a chip by anything libgpiod's lookup takes (name, path, label,
    // number); 0 or an errno value.
    virtual int openChip(const std::string& chip) = 0;
    virtual std::string chipName() = 0;
    virtual unsigned lineCount() = 0;
    // Requests the lines as outputs at these levels; 0 or an errno value.
    virtual int requestOutputs(const Offsets& offsets, const Levels& levels, const char* consumer) = 0;
    // Who holds a line now; empty when nobody, or nobody gave a name.
    virtual std::string consumer(unsigned offset) = 0;
    // Sets all three requested lines in one call; 0 or an errno value.
    virtual int setLevels(const Levels& levels) = 0;
    // Releases the lines and closes the chip; safe when nothing is open.
    virtual void close() = 0;
};

}  // namespace portlib::gpio
