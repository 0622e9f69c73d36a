#include "portlib/PortBackend.h"

#include <cctype>

#include <cstdio>

void PortBackend::say(const std::string& line) const {
    if (sink_) sink_(line);
    else std::fprintf(stderr, "qz4471: %s\n", line.c_str());
}

StatusLine PortBackend::statusLine(uint16_t address) {
    if (!ownsAddress(address)) return {"No port: words are dropped", true};
    std::string text = describe();  // "printer port /dev/parport0"
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return {text};
}
