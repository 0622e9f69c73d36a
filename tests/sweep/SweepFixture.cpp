#include "SweepFixture.h"


#include <QApplication>
#include <QTest>

std::vector<FreqLoad> freqLoads(const std::vector<uint16_t>& words) {
    std::vector<FreqLoad> loads;
    for (size_t i = 0; i + 4 <= words.size(); i += 4) {
        const int reg = (words[i] & 0xFF00) == 0x3000 ? 0 : (words[i] & 0xFF00) == 0x3400 ? 1 : -1;
        const uint16_t lead[2][4] = {{0x3000, 0x2100, 0x3200, 0x2300}, {0x3400, 0x2500, 0x3600, 0x2700}};
        uint32_t tuning = 0;
        bool ok = reg >= 0;
        for (int k = 0; ok && k < 4; ++k) {
            ok = (words[i + k] & 0xFF00) == lead[reg][k];
            tuning |= static_cast<uint32_t>(words[i + k] & 0xFF) << (8 * k);
        }
        loads.push_back({ok ? reg : -1, tuning * 50.0 / 4294967296.0});
    }
    return loads;
}

std::vector<double> mhzOf(const std::vector<FreqLoad>& loads, int reg) {
    std::vector<double> out;
    for (const FreqLoad& l : loads)
        if (l.reg == reg) out.push_back(l.mhz);
    return out;
}

void SweepFixture::SetUp() {
    w = std::make_unique<Sweep>(wire.chip, notice);
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    wire.clear();
}

void SweepFixture::TearDown() { w.reset(); }

QLineEdit* SweepFixture::text(int n) const { return w->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n)); }
QPushButton* SweepFixture::button(const char* name) const { return w->findChild<QPushButton*>(name); }
QGroupBox* SweepFixture::frame(int n) const { return w->findChild<QGroupBox*>(QStringLiteral("Frame%1").arg(n)); }

void SweepFixture::type(int n, const QString& s) {
    QLineEdit* f = text(n);
    f->setFocus(Qt::TabFocusReason);
    f->selectAll();
    if (s.isEmpty()) QTest::keyClick(f, Qt::Key_Delete);
    else QTest::keyClicks(f, s);
}

void SweepFixture::enter(int n, const QString& s) {
    type(n, s);
    QTest::keyClick(text(n), Qt::Key_Return);
}

void SweepFixture::fillGroup(int group, const QString& start, const QString& stop, const QString& step,
                             const QString& loops, const QString& delay) {
    const int g0[] = {1, 2, 3, 4, 5}, g1[] = {10, 9, 8, 7, 6};
    const int* f = group == 0 ? g0 : g1;
    const QString v[] = {start, stop, step, loops, delay};
    for (int i = 0; i < 5; ++i) enter(f[i], v[i]);
}

void SweepFixture::click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
