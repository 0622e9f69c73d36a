// Any text through the conversion: no crash, and what is accepted is a
// finite number that formats and reads back to itself.
#include "numeric/NumberText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto d = numeric::parseDouble(text)) {
        if (!std::isfinite(*d)) std::abort();
        numeric::formatFixed(*d, 1, 10);
        numeric::formatFixed(*d, 0, 6);
        numeric::roundHalfEven(*d);
    }
    if (auto f = numeric::parseSingle(text)) {
        if (!std::isfinite(*f)) std::abort();
        const auto back = numeric::parseSingle(numeric::formatGeneral(*f));
        if (!back) std::abort();
        numeric::formatFixedSingle(*f, 2, 10);
    }
    return 0;
}
