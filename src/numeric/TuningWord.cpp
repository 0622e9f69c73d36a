#include "numeric/TuningWord.h"

#include "numeric/NumberText.h"

#include <cmath>

namespace numeric {

int32_t tuningWord(float f, double m) {
    // Just under half the clock, so no word passes 0x7FFFFFFF.
    const float limit = static_cast<float>(m * 2147483647.0 / 4294967296.0);
    if (!(limit > f)) return 0x7FFFFFFF;
    const double w = std::nearbyint(4294967296.0 * static_cast<double>(f) / m);
    if (!(w >= 0.0 && w <= 2147483647.0)) throw ConversionError("tuning word overflow");
    return static_cast<int32_t>(w);
}

}  // namespace numeric
