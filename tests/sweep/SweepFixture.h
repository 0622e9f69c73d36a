#pragma once
// The sweep window open on a simulated board, with message boxes and beeps
// caught, and the frequency loads read back from the wire.
#include "support/RecordingSeams.h"
#include "support/WireHarness.h"
#include "sweep/Sweep.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

// One register load as the chip got it.
struct FreqLoad {
    int reg;      // 0 FREQ0, 1 FREQ1, -1 words of another kind
    double mhz;   // tuning word back in MHz at 50 MHz
};
std::vector<FreqLoad> freqLoads(const std::vector<uint16_t>& words);
std::vector<double> mhzOf(const std::vector<FreqLoad>& loads, int reg);

class SweepFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QLineEdit* text(int n) const;
    QPushButton* button(const char* name) const;
    QGroupBox* frame(int n) const;
    // Replaces a field's text by typing, with the field focused.
    void type(int n, const QString& s);
    void enter(int n, const QString& s);
    // Fills a group's five fields through the keyboard (Enter after each).
    void fillGroup(int group, const QString& start, const QString& stop, const QString& step, const QString& loops,
                   const QString& delay);
    void click(const char* name);

    WireHarness wire;
    RecordingNotice notice;
    std::unique_ptr<Sweep> w;
    std::vector<platform::Notice>& notices = notice.notices;
    int& beeps = notice.beeps;
};
