#include "control/SweepEngine.h"

#include "numeric/NumberText.h"
#include "registers/Declare.h"

SweepEngine::SweepEngine(QObject* parent)
    : QObject(parent),
      loader_(registers::loadFrequencyMHz),
      group0_(0, Countup1, Countdown1, [this](bool on) { emit sweepingChanged(0, on); },
              [this](int reg, float mhz) { loader_(reg, mhz); }),
      group1_(1, Countup2, countdown2, [this](bool on) { emit sweepingChanged(1, on); },
              [this](int reg, float mhz) { loader_(reg, mhz); }) {
    connect(&Countup1, &SweepTimer::timeout, this, &SweepEngine::countup1_Timer);
    connect(&Countdown1, &SweepTimer::timeout, this, &SweepEngine::countdown1_Timer);
    connect(&Countup2, &SweepTimer::timeout, this, &SweepEngine::countup2_Timer);
    connect(&countdown2, &SweepTimer::timeout, this, &SweepEngine::countdown2_Timer);
}

void SweepEngine::stopAll() {
    Countup1.setEnabled(false);
    Countdown1.setEnabled(false);
    Countup2.setEnabled(false);
    countdown2.setEnabled(false);
    group0_.stop();  // both groups idle again
    group1_.stop();
}

namespace sweep {

std::optional<FieldEntry> enterField(FieldKind kind, const std::string& text) {
    const auto parsed = numeric::parseSingle(text);
    if (!parsed) return std::nullopt;
    float v = *parsed;
    // Frequencies are pulled into 0..MaxFreq; single-precision comparisons.
    auto checkMax = [&v] {
        if (v > MaxFreq) v = MaxFreq;
        if (!(v >= 0)) v = 0;
    };
    switch (kind) {
    case FieldKind::Freq: checkMax(); return FieldEntry{v, numeric::formatFixedSingle(v, 2, 10)};
    case FieldKind::Step8: checkMax(); return FieldEntry{v, numeric::formatFixedSingle(v, 2, 8)};
    case FieldKind::Loops:
        if (!(v >= 1)) v = 1;
        return FieldEntry{v, numeric::formatGeneral(v)};
    case FieldKind::Delay:
        if (v > 100000) v = 100000;
        if (v < 0) v = 0;
        return FieldEntry{v, numeric::formatGeneral(v)};
    }
    return std::nullopt;
}

}  // namespace sweep
