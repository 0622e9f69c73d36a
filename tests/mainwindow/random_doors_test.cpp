// Random sequences of actions through every door (window commits, Tab
// through a field, SCPI, the clock, Initialise); after each, every view is
// checked against the chip's locked state, and that state against the
// registers rebuilt from the words decoded off the wire. A failure names the
// key of its random sequence and the step, so it can be run again.
#include "MainFormFixture.h"

#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/Wait.h"

#include <QTest>

#include <cmath>
#include <random>
#include <sstream>

namespace {

// The registers as the wire loaded them.
struct WireRegisters {
    uint32_t word[2] = {};
    uint16_t phase[4] = {};
    void take(const std::vector<uint16_t>& words) {
        for (size_t i = 0; i < words.size(); ++i) {
            const uint16_t w = words[i];
            for (int r = 0; r < 2 && i + 4 <= words.size(); ++r) {
                const uint16_t lead[4] = {uint16_t(0x3000 + 0x400 * r), uint16_t(0x2100 + 0x400 * r),
                                          uint16_t(0x3200 + 0x400 * r), uint16_t(0x2300 + 0x400 * r)};
                bool load = true;
                for (int k = 0; k < 4; ++k) load = load && (words[i + k] & 0xFF00) == lead[k];
                if (!load) continue;
                word[r] = 0;
                for (int k = 0; k < 4; ++k) word[r] |= uint32_t(words[i + k] & 0xFF) << (8 * k);
                i += 3;
            }
            for (int r = 0; r < 4 && i + 2 <= words.size(); ++r)
                if ((w & 0xFF00) == 0x1800 + 0x200 * r && (words[i + 1] & 0xFF00) == 0x0900 + 0x200 * r)
                    phase[r] = uint16_t(((words[i + 1] & 0x0F) << 8) | (w & 0xFF)), ++i;
        }
    }
};

}  // namespace

class RandomDoors : public MainFormTest, public ::testing::WithParamInterface<unsigned> {
protected:
    std::string scpi(const std::string& line) {
        scpi::ChipInstrument instrument(chip);
        scpi::Session session(instrument);
        return session.execute(line).reply;
    }
    void enter(QLineEdit* f, const std::string& text) {
        typeInto(f, QString::fromStdString(text));
        pressEnter();
    }
    // Every view against the state; empty when all agree.
    std::string disagreement(const bool own[2]) {
        const control::ChipState s = chip.state();
        std::ostringstream why;
        QLineEdit* const freq[] = {ui().Text1, ui().Text2};
        QLabel* const hex[] = {ui().Label11, ui().Label12};
        for (int r = 0; r < 2; ++r) {
            const double mhz = s.frequencyMHz(r);
            const QString text = freq[r]->text();
            // Its own commit keeps the value as written; any other door writes what the word makes.
            const bool fits = own[r] ? std::fabs(text.toDouble() - mhz) <= 2e-6 * std::max(1.0, mhz)
                                     : text == QString::number(mhz, 'f', 10);
            if (!fits) why << "Freq " << r << " shows " << text.toStdString() << " for " << mhz << " MHz; ";
            if (hex[r]->text() != QStringLiteral("%1").arg(s.word[r], 8, 16, QChar('0')).toUpper())
                why << "hex " << r << " shows " << hex[r]->text().toStdString() << "; ";
        }
        QLineEdit* const phase[] = {ui().Text3, ui().Text4, ui().Text5, ui().Text6};
        for (int r = 0; r < 4; ++r)
            if (phase[r]->text() != QString::number(s.phase[r]))
                why << "Phase " << r << " shows " << phase[r]->text().toStdString() << " for " << s.phase[r] << "; ";
        if (ui().Text7->text().toDouble() != s.clockMHz) why << "clock shows " << ui().Text7->text().toStdString() << "; ";
        if (ui().Command13->text() != (s.sync ? "&Sync Bit = 1" : "&Sync Bit = 0")) why << "Sync caption; ";
        if (!(s.freqSelect == 0 ? ui().Option3D1 : ui().Option3D2)->isChecked()) why << "FREQ option; ";
        return why.str();
    }
};

TEST_P(RandomDoors, EveryViewShowsTheStateWhicheverDoorChangedIt) {
    const unsigned key = GetParam();
    std::mt19937 rnd(key);
    auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
    QLineEdit* const freq[] = {ui().Text1, ui().Text2};
    QLineEdit* const phase[] = {ui().Text3, ui().Text4, ui().Text5, ui().Text6};
    WireRegisters wireRegs;
    bool own[2] = {true, true};  // the window's own texts at start-up
    wireRegs.take(words());
    for (int step = 0; step < 40; ++step) {
        wire.clear();
        const int r = pick(2);
        const char* const names[] = {"Freq commit", "Phase commit", "FREQ:WORD", "CLOC", "clock field",
                                     "PHAS over SCPI", "Tab through Freq", "CONT:SYNC", "SEL:FREQ", "Initialise"};
        const int action = pick(10);
        switch (action) {
        case 0: enter(freq[r], std::to_string(pick(30000) / 1000.0)), own[r] = true; break;
        case 1: enter(phase[pick(4)], std::to_string(pick(4096))); break;
        case 2: scpi("FREQ" + std::to_string(r) + ":WORD " + std::to_string(rnd() & 0x7FFFFFFF)), own[r] = false; break;
        case 3: scpi("CLOC " + std::to_string(40 + 10 * pick(3)) + "MHZ"), own[0] = own[1] = false; break;
        case 4: enter(ui().Text7, std::to_string(40 + 10 * pick(3))), own[0] = own[1] = false; break;
        case 5: scpi("PHAS" + std::to_string(pick(4)) + " " + std::to_string(pick(4096)) + ".5"); break;
        case 6: clickOn(freq[r]), pressTab(); break;
        case 7: scpi(pick(2) ? "CONT:SYNC ON" : "CONT:SYNC OFF"); break;
        case 8: scpi("CONT:SELS 1;:SEL:FREQ " + std::to_string(r)); break;
        case 9: clickOn(ui().Command15), own[0] = own[1] = true; break;
        }
        wireRegs.take(words());
        std::string why;
        waitUntil([&] { return (why = disagreement(own)).empty(); }, 1000);
        const control::ChipState s = chip.state();
        for (int k = 0; k < 2; ++k)
            if (s.word[k] != wireRegs.word[k]) why += "FREQ" + std::to_string(k) + " word differs from the wire; ";
        for (int k = 0; k < 4; ++k)
            if (s.phase[k] != wireRegs.phase[k]) why += "PHASE" + std::to_string(k) + " differs from the wire; ";
        ASSERT_TRUE(why.empty()) << "key " << key << ", step " << step << " (" << names[action] << "): " << why;
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, RandomDoors, ::testing::Values(1u, 26u, 4471u));
