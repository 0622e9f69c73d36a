#pragma once
// The GPIO calls made through libgpiod (version 1 API).
#include "portlib/gpio/GpioApi.h"

#include <memory>

struct gpiod_chip;
struct gpiod_line_bulk;

namespace portlib::gpio {

class LibGpiod final : public Api {
public:
    LibGpiod();
    ~LibGpiod() override;
    LibGpiod(const LibGpiod&) = delete;
    LibGpiod& operator=(const LibGpiod&) = delete;

    int openChip(const std::string& chip) override;
    std::string chipName() override;
    unsigned lineCount() override;
    int requestOutputs(const Offsets& offsets, const Levels& levels, const char* consumer) override;
    std::string consumer(unsigned offset) override;
    int setLevels(const Levels& levels) override;
    void close() override;

private:
    gpiod_chip* chip_ = nullptr;
    std::unique_ptr<gpiod_line_bulk> lines_;
    bool requested_ = false;
};

}  // namespace portlib::gpio
