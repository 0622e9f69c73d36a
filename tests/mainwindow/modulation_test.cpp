// The modulation window from the Tools menu: its entries keep the last good
// setting, and the main window follows a keying without sending a word.
#include "MainFormFixture.h"
#include "modulation/Modulation.h"
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"

#include <QGroupBox>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

namespace {

struct ModulationControls {
    explicit ModulationControls(QWidget& w)
        : Pattern(w.findChild<QLineEdit*>("Pattern")), Rate(w.findChild<QLineEdit*>("Rate")),
          Count(w.findChild<QLineEdit*>("Count")), Continuous(w.findChild<QCheckBox*>("Continuous")),
          Start(w.findChild<QPushButton*>("Start")), Stop(w.findChild<QPushButton*>("Stop")),
          Progress(w.findChild<QLabel*>("Progress")) {}
    QLineEdit *Pattern, *Rate, *Count;
    QCheckBox* Continuous;
    QPushButton *Start, *Stop;
    QLabel* Progress;
};

class ModulationTest : public MainFormTest {
protected:
    QAction* toolsItem() { return w->findChild<QAction*>("MnuModulation"); }
    Modulation* openWindow() {
        toolsItem()->trigger();
        auto* m = w->findChild<Modulation*>();
        EXPECT_NE(m, nullptr);
        QApplication::setActiveWindow(m);
        EXPECT_TRUE(QTest::qWaitForWindowActive(m));
        mod = std::make_unique<ModulationControls>(*m);
        return m;
    }
    // Waits for what a keying's thread announces; the cap only ends a hung run.
    static bool eventually(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }
    std::unique_ptr<ModulationControls> mod;
};

// ---- refusals ---------------------------------------------------------------------

enum class Entry { Pattern, Rate, Count };

struct EntryCase {
    const char* name;
    Entry field;
    const char* typed;
    Qt::Key leaveBy;        // Enter or Tab
    const char* noticeHas;  // "" when taken without a word
    const char* shownAfter; // "max": the keyer's limit
    bool keepsFocus;
};

class ModulationEntries : public ModulationTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(ModulationEntries, KeepTheLastGoodSettingOrTakeTheLimit) {
    const EntryCase& c = GetParam();
    openWindow();
    QLineEdit* field = c.field == Entry::Pattern ? mod->Pattern : c.field == Entry::Rate ? mod->Rate : mod->Count;
    const QString max = QString::number(chip.maxKeyingRate(), 'g', 7);
    const QString shown = QString(c.shownAfter) == "max" ? max : QString(c.shownAfter);
    typeInto(field, c.typed);
    QTest::keyClick(field, c.leaveBy);

    if (*c.noticeHas) {
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(notices[0].text.contains(QString(c.noticeHas).replace("max", max))) << notices[0].text.toStdString();
    } else {
        EXPECT_TRUE(notices.empty());
    }
    EXPECT_EQ(field->text(), shown);
    EXPECT_EQ(focus() == field, c.keepsFocus) << (focus() ? focus()->objectName().toStdString() : "none");
    // The setting is what the field shows.
    const QString setting = c.field == Entry::Pattern ? QString::fromStdString(chip.keyingPattern())
                            : c.field == Entry::Rate  ? QString::number(chip.keyingRate(), 'g', 7)
                                                      : QString::number(chip.keyingCount());
    EXPECT_EQ(setting, c.field == Entry::Count && shown == "1000" ? "0" : shown) << "continuous by default";
    EXPECT_TRUE(words().empty()) << "settings send nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Modulation, ModulationEntries,
    ::testing::Values(
        EntryCase{"BadCharacter", Entry::Pattern, "01x0", Qt::Key_Return, "\"x\" (character 3)", "PRBS7", true},
        EntryCase{"EmptyPattern", Entry::Pattern, "", Qt::Key_Tab, "empty", "PRBS7", true},
        EntryCase{"Bits", Entry::Pattern, "0110 1001", Qt::Key_Tab, "", "0110 1001", false},
        EntryCase{"Hex", Entry::Pattern, "#H0F96", Qt::Key_Return, "", "#H0F96", true},
        EntryCase{"PrbsAnyCase", Entry::Pattern, "prbs15", Qt::Key_Return, "", "PRBS15", true},
        EntryCase{"RateTooLow", Entry::Rate, "0.001", Qt::Key_Return, "from 0.01 to max", "1000", true},
        EntryCase{"RateNoNumber", Entry::Rate, "fast", Qt::Key_Tab, "from 0.01 to max", "1000", true},
        EntryCase{"RateAboveLimit", Entry::Rate, "1e9", Qt::Key_Tab, "limited to max", "max", false},
        EntryCase{"RateTaken", Entry::Rate, "0.5", Qt::Key_Tab, "", "0.5", false},
        EntryCase{"CountZero", Entry::Count, "0", Qt::Key_Return, "from 1 to 4294967295", "1000", true},
        EntryCase{"CountTooLarge", Entry::Count, "4294967296", Qt::Key_Tab, "from 1 to", "1000", true},
        EntryCase{"CountTaken", Entry::Count, "8", Qt::Key_Tab, "", "8", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModulationTest, ACountEndsContinuousAndTheBoxBringsItBack) {
    openWindow();
    ASSERT_TRUE(mod->Continuous->isChecked());
    typeInto(mod->Count, "8");
    pressEnter();
    EXPECT_FALSE(mod->Continuous->isChecked());
    EXPECT_EQ(chip.keyingCount(), 8u);
    clickOn(mod->Continuous);
    EXPECT_EQ(chip.keyingCount(), 0u);
    clickOn(mod->Continuous);
    EXPECT_EQ(chip.keyingCount(), 8u);
}

// ---- the Tools menu ---------------------------------------------------------------

TEST_F(ModulationTest, ToolsCommitsAPendingFieldThenOpensOneWindow) {
    QStringList titles;
    for (QAction* a : ui().menubar->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Printer Port", "&Tools", "&Help"}));

    typeInto(ui().Text2, "10");
    // The menu opened and closed with one Escape: the menu bar keeps the
    // keyboard, the edit waits.
    QTest::keyClick(focus(), Qt::Key_T, Qt::AltModifier);
    auto* tools = w->findChild<QMenu*>("MnuTools");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tools->isVisible(); }));
    QTest::keyClick(tools, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tools->isVisible(); }));
    ASSERT_TRUE(words().empty());
    Modulation* first = openWindow();
    EXPECT_WORDS(words(), 0x3433, 0x2533, 0x3633, 0x2733);
    EXPECT_EQ(first->windowTitle(), "Modulation");
    EXPECT_FALSE(first->isModal());
    openWindow();
    EXPECT_EQ(w->findChildren<Modulation*>().size(), 1);
    EXPECT_EQ(words().size(), 4u) << "nothing more to commit";
}

// ---- the main window during a keying ------------------------------------------------

struct KeyingCase {
    const char* name;
    const char* typeOption;  // the window's option
    const char* pattern;     // its first symbol stays on the output at the slowest rate
    int keyed[4];            // the main window's options of the keyed kind (-1: none)
    int live;                // the one checked while keying
    int other;               // an option of the other kind, usable throughout
    std::vector<uint16_t> sent;  // the symbol's select word, then the end word
};

class KeyingView : public ModulationTest, public ::testing::WithParamInterface<KeyingCase> {
protected:
    QRadioButton* option(int i) {
        QRadioButton* const all[] = {ui().Option3D1, ui().Option3D2, ui().Option3D3,
                                     ui().Option3D4, ui().Option3D5, ui().Option3D6};
        return all[i];
    }
};

TEST_P(KeyingView, LocksAndShowsTheKeyedOptionsThenGivesThemBack) {
    const KeyingCase& c = GetParam();
    clickOn(ui().Command11);  // SELSRC = 1: the options are usable before and after
    Modulation* m = openWindow();
    clickOn(m->findChild<QRadioButton*>(c.typeOption));
    typeInto(mod->Pattern, c.pattern);
    pressEnter();
    typeInto(mod->Rate, "0.01");
    pressEnter();
    wire.clear();
    clickOn(mod->Start);

    ASSERT_TRUE(eventually([&] { return option(c.live)->isChecked(); }));
    EXPECT_FALSE(mod->Start->isEnabled());
    EXPECT_TRUE(mod->Stop->isEnabled());
    EXPECT_FALSE(ui().Command11->isEnabled());
    for (int k : c.keyed) {
        if (k >= 0) {
            EXPECT_FALSE(option(k)->isEnabled()) << k;
        }
    }
    EXPECT_TRUE(option(c.other)->isEnabled());
    EXPECT_TRUE(ui().Command13->isEnabled());
    EXPECT_TRUE(mod->Progress->text().endsWith(QStringLiteral("symbol %1").arg(c.live - c.keyed[0])))
        << mod->Progress->text().toStdString();
    EXPECT_TRUE(w->statusBar()->findChild<QLabel*>("keyingStatus")->text().startsWith("Keying "));

    clickOn(mod->Stop);
    ASSERT_TRUE(eventually([&] { return ui().Command11->isEnabled(); }));
    for (int k : c.keyed) {
        if (k >= 0) {
            EXPECT_TRUE(option(k)->isEnabled()) << k;
        }
    }
    EXPECT_TRUE(option(c.keyed[0])->isChecked()) << "the window's own selection again";
    EXPECT_TRUE(mod->Start->isEnabled());
    EXPECT_FALSE(mod->Stop->isEnabled());
    EXPECT_EQ(hexWords(words()), hexWords(c.sent)) << "showing the symbol sends nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Modulation, KeyingView,
    ::testing::Values(KeyingCase{"FSK", "TypeFSK", "1", {0, 1, -1, -1}, 1, 2, {0x5800, 0x5000}},
                      KeyingCase{"BPSK", "TypeBPSK", "1", {2, 3, -1, -1}, 3, 0, {0x4200, 0x4000}},
                      KeyingCase{"QPSK", "TypeQPSK", "10", {2, 3, 4, 5}, 4, 1, {0x4400, 0x4000}}),
    [](const auto& info) { return std::string(info.param.name); });

// Settings changed by another door show in the open window, and Start keys
// what it shows: the type, pattern, rate and count from a setup's line.
TEST_F(ModulationTest, TheWindowShowsTheSettingsAnyDoorGaveAndStartKeysThem) {
    Modulation* m = openWindow();
    clickOn(m->findChild<QRadioButton*>("TypeBPSK"));
    for (auto [field, text] : {std::pair{mod->Pattern, "0101"}, {mod->Rate, "10"}, {mod->Count, "8"}}) {
        typeInto(field, text);
        pressEnter();
    }
    scpi::ChipInstrument instrument(chip);
    scpi::Session session(instrument);
    session.execute("MOD:TYPE FSK;PATT PRBS7;RATE 1000;COUN 9.9E37");
    ASSERT_TRUE(eventually([&] { return mod->Pattern->text() == "PRBS7"; }));
    EXPECT_TRUE(m->findChild<QRadioButton*>("TypeFSK")->isChecked());
    EXPECT_EQ(mod->Rate->text(), "1000");
    EXPECT_TRUE(mod->Continuous->isChecked());
    session.execute("MOD:COUN 20");
    ASSERT_TRUE(eventually([&] { return mod->Count->text() == "20"; }));
    wire.clear();
    clickOn(mod->Start);
    // The last symbol's progress can show before the end is announced: wait for the end.
    QGroupBox* frame = m->findChild<QGroupBox*>("Frame1");
    ASSERT_TRUE(eventually([&] { return frame->title() == "Keying Controls"; }));
    EXPECT_TRUE(mod->Progress->text().startsWith("Sent 20 of 20")) << mod->Progress->text().toStdString();
    // SELSRC up (9000) and down (8000) around FSK's FREQ0/FREQ1 selections (5000, 5800).
    for (uint16_t w : words())
        EXPECT_TRUE(w == 0x9000 || w == 0x8000 || w == 0x5000 || w == 0x5800) << hexWords(words());
    EXPECT_FALSE(mod->Progress->text().contains("left")) << "an ended keying has no time left";
}

}  // namespace
