#include "portlib/gpio/LibGpiod.h"

#include <cerrno>
#include <gpiod.h>

namespace portlib::gpio {

namespace {
int lastError() { return errno ? errno : EIO; }
}  // namespace

LibGpiod::LibGpiod() : lines_(std::make_unique<gpiod_line_bulk>()) {}

LibGpiod::~LibGpiod() { close(); }

int LibGpiod::openChip(const std::string& chip) {
    close();
    errno = 0;
    chip_ = gpiod_chip_open_lookup(chip.c_str());
    return chip_ ? 0 : lastError();
}

std::string LibGpiod::chipName() { return chip_ ? gpiod_chip_name(chip_) : ""; }

unsigned LibGpiod::lineCount() { return chip_ ? gpiod_chip_num_lines(chip_) : 0; }

int LibGpiod::requestOutputs(const Offsets& offsets, const Levels& levels, const char* consumer) {
    Offsets o = offsets;
    errno = 0;
    if (gpiod_chip_get_lines(chip_, o.data(), static_cast<unsigned>(o.size()), lines_.get()) < 0) return lastError();
    if (gpiod_line_request_bulk_output(lines_.get(), consumer, levels.data()) < 0) return lastError();
    requested_ = true;
    return 0;
}

std::string LibGpiod::consumer(unsigned offset) {
    gpiod_line* line = chip_ ? gpiod_chip_get_line(chip_, offset) : nullptr;
    if (!line || gpiod_line_update(line) < 0) return {};
    const char* name = gpiod_line_consumer(line);
    return name ? name : "";
}

int LibGpiod::setLevels(const Levels& levels) {
    errno = 0;
    return gpiod_line_set_value_bulk(lines_.get(), levels.data()) < 0 ? lastError() : 0;
}

void LibGpiod::close() {
    if (requested_) gpiod_line_release_bulk(lines_.get());
    requested_ = false;
    if (chip_) gpiod_chip_close(chip_);
    chip_ = nullptr;
}

}  // namespace portlib::gpio
