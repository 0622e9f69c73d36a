// Every door that changes a register leaves its field showing what the
// register now makes at the committed clock, and a field left unedited sends
// the register's stored word again, never one reconverted from its text.
#include "MainFormFixture.h"

#include "mainwindow/SetupFiles.h"
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/Wait.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>

#include <functional>

class ViewsFollow;

namespace {

struct DoorCase {
    const char* name;
    std::function<void(ViewsFollow&)> act;
    const char* freq0;             // Text1 afterwards
    const char* freq1;             // Text2 afterwards
    std::vector<uint16_t> tabbed;  // words sent by a click into Freq 0 and Tab
};

}  // namespace

class ViewsFollow : public MainFormTest, public ::testing::WithParamInterface<DoorCase> {
public:
    using MainFormTest::ui;
    using MainFormTest::words;
    using MainFormTest::wire;
    void enter(QLineEdit* field, const char* text) {
        typeInto(field, text);
        pressEnter();
    }
    std::string scpi(const std::string& line) {
        scpi::ChipInstrument instrument(chip);
        scpi::Session session(instrument);
        return session.execute(line).reply;
    }
    void saveThenOpen(const std::function<void()>& between) {
        auto* setups = w->findChild<SetupFiles*>();
        const QString path = dir.filePath("a.scpi");
        ASSERT_TRUE(setups->saveTo(path).isEmpty());
        between();
        QSignalSpy done(setups, &SetupFiles::finished);
        setups->openFrom(path);
        ASSERT_TRUE(waitUntil([&] { return done.count() == 1; }));
    }
    QTemporaryDir dir;
};

TEST_P(ViewsFollow, FieldsShowTheRegistersAndLeavingResendsTheirWords) {
    const DoorCase& c = GetParam();
    c.act(*this);
    ASSERT_TRUE(waitUntil([&] { return ui().Text1->text() == c.freq0 && ui().Text2->text() == c.freq1; }, 2000))
        << c.name << ": " << ui().Text1->text().toStdString() << " / " << ui().Text2->text().toStdString();
    wire.clear();
    clickOn(ui().Text1);
    pressTab();
    EXPECT_EQ(hexWords(words()), hexWords(c.tabbed)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Doors, ViewsFollow,
    ::testing::Values(
        // Saved at 1 and 10 MHz, then typed over: the setup's words come back,
        // and Tab re-sends them, not the 2 MHz the field used to show.
        DoorCase{"open setup",
                 [](ViewsFollow& t) {
                     t.enter(t.ui().Text1, "1");
                     t.enter(t.ui().Text2, "10");
                     t.saveThenOpen([&] {
                         t.enter(t.ui().Text1, "2");
                         t.enter(t.ui().Text2, "12");
                     });
                 },
                 "1.0000000009", "9.9999999977", {0x3052, 0x21B8, 0x321E, 0x2305}},
        DoorCase{"word over SCPI",
                 [](ViewsFollow& t) { t.scpi("FREQ0:WORD #H33333333;:FREQ1:WORD #H80000000"); },
                 "9.9999999977", "25.0000000000", {0x3033, 0x2133, 0x3233, 0x2333}},
        // A new clock sends nothing; the fields show what the words make at it.
        DoorCase{"clock commit",
                 [](ViewsFollow& t) {
                     t.enter(t.ui().Text7, "60");
                     t.enter(t.ui().Text1, "28");
                     t.enter(t.ui().Text2, "99");  // clamped to 30: word 7FFFFFFF
                     t.wire.clear();
                     t.enter(t.ui().Text7, "50");
                     EXPECT_TRUE(t.words().empty());
                     const double hz = std::stod(t.scpi("FREQ0?"));
                     EXPECT_NEAR(hz, 0x77777777 * 50e6 / 4294967296.0, 1e-3) << "at the committed clock";
                 },
                 "23.3333333279", "24.9999999884", {0x3077, 0x2177, 0x3277, 0x2377}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

// Escape gives an edit up: the field shows its register again and, left, re-sends its word.
TEST_F(ViewsFollow, EscapeGivesTheEditUp) {
    enter(ui().Text1, "1");
    typeInto(ui().Text1, "7");
    scpi("FREQ0:WORD #H33333333");
    QCoreApplication::processEvents();
    EXPECT_EQ(ui().Text1->text(), "7") << "an edit keeps the user's text";
    QTest::keyClick(ui().Text1, Qt::Key_Escape);
    EXPECT_EQ(ui().Text1->text(), "9.9999999977");
    wire.clear();
    pressTab();
    EXPECT_WORDS(words(), 0x3033, 0x2133, 0x3233, 0x2333);
}
