#include "portlib/PortBackend.h"

#include <cstdio>

void PortBackend::say(const std::string& line) const {
    if (sink_) sink_(line);
    else std::fprintf(stderr, "qz4471: %s\n", line.c_str());
}
