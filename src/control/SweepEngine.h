#pragma once
// The two sweep groups with their timers: group 0 sweeps FREQ0, group 1 FREQ1.
// They run whether or not a sweep window is open.
#include "control/SweepRunner.h"
#include "control/SweepTimer.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string>

class SweepEngine : public QObject {
    Q_OBJECT
public:
    explicit SweepEngine(QObject* parent = nullptr);

    // Up and down timer of each group, idle until a Start arms one.
    SweepTimer Countup1, Countdown1, Countup2, countdown2;

    SweepRunner& group(int g) { return g == 0 ? group0_ : group1_; }
    // A refused Start changes nothing.
    sweep::StartCheck start(int g, const sweep::FieldTexts& texts) { return group(g).start(texts); }
    void stop(int g) { group(g).stop(); }
    // Stops every timer of both groups, in the order Countup1, Countdown1, Countup2, countdown2.
    void stopAll();
    bool sweeping(int g) { return group(g).sweeping(); }

    // How a step reaches the chip; without one, straight through the register globals.
    void setLoader(std::function<void(int reg, float mhz)> loader) { loader_ = std::move(loader); }

    void countup1_Timer() { group0_.tickUp(); }
    void countdown1_Timer() { group0_.tickDown(); }
    void countup2_Timer() { group1_.tickUp(); }
    void countdown2_Timer() { group1_.tickDown(); }

signals:
    void sweepingChanged(int group, bool sweeping);

private:
    std::function<void(int, float)> loader_;
    SweepRunner group0_;
    SweepRunner group1_;
};

namespace sweep {

// The kinds of sweep field, each with its limits and display pattern.
enum class FieldKind { Freq, Step8, Loops, Delay };

// What an entry in a sweep field becomes: its value after the limits and the
// text shown for it; nothing when the text is no number.
struct FieldEntry {
    float value;
    std::string shown;
};
std::optional<FieldEntry> enterField(FieldKind kind, const std::string& text);

}  // namespace sweep
