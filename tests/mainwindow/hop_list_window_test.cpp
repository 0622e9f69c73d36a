// The list window from the Tools menu: cell entries, Import that refuses a
// bad file whole, Start and Step on bus triggers; the main window locks its
// frequency controls and shows the live registers while a list runs.
#include "MainFormFixture.h"
#include "hoplist/HopListWindow.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

class HopListWindowTest : public MainFormTest {
protected:
    HopListWindow* openWindow() {
        w->findChild<QAction*>("MnuList")->trigger();
        auto* l = w->findChild<HopListWindow*>();
        EXPECT_NE(l, nullptr);
        QApplication::setActiveWindow(l);
        EXPECT_TRUE(QTest::qWaitForWindowActive(l));
        return l;
    }
    template <typename T>
    T* in(HopListWindow* l, const char* name) {
        return l->findChild<T*>(name);
    }
    static bool eventually(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
};

// A cell takes MHz and ms and refuses what is out of range, changing nothing.
TEST_F(HopListWindowTest, CellsTakeMhzAndMsAndRefuseWhatIsOutOfRange) {
    HopListWindow* l = openWindow();
    chip.setListFrequencies({1e6}, false);
    chip.setListDwells({0.001}, false);
    QCoreApplication::processEvents();
    QAbstractItemModel* m = in<QTableView>(l, "Rows")->model();
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), "1.0000000000");
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), "1");
    const struct {
        int column;
        const char* typed;
        bool taken;
    } cases[] = {{0, "12.5", true}, {0, "25.1", false}, {0, "x", false}, {1, "0.5", true}, {1, "0.1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        notices.clear();
        const std::vector<double> hz = chip.listFrequencies(), dwell = chip.listDwells();
        EXPECT_EQ(m->setData(m->index(0, c.column), c.typed, Qt::EditRole), c.taken);
        EXPECT_EQ(notices.size(), c.taken ? 0u : 1u);
        if (!c.taken) {
            EXPECT_EQ(chip.listFrequencies(), hz);
            EXPECT_EQ(chip.listDwells(), dwell);
        }
    }
    EXPECT_EQ(chip.listFrequencies(), std::vector<double>{12.5e6});
    EXPECT_EQ(chip.listDwells(), std::vector<double>{0.0005});
    in<QPushButton>(l, "Add")->click();
    EXPECT_EQ(chip.listFrequencies(), (std::vector<double>{12.5e6, 12.5e6}));
}

TEST_F(HopListWindowTest, ImportRefusesABadFileWholeNamingLineAndColumn) {
    HopListWindow* l = openWindow();
    QTemporaryDir dir;
    const QString good = dir.filePath("good.csv"), bad = dir.filePath("bad.csv");
    for (auto [path, text] : {std::pair{good, "frequency_hz,dwell_s\n1000000,0.001\n2000000,0.002\n"},
                              std::pair{bad, "frequency_hz,dwell_s\n3000000,0.001\n4000000,-1\n"}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString chosen = good;
    l->setChooser([&](bool, const QString&) { return chosen; });
    in<QPushButton>(l, "Import")->click();
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(chip.listFrequencies(), (std::vector<double>{1e6, 2e6}));
    chosen = bad;
    in<QPushButton>(l, "Import")->click();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].text.contains("line 3, column 2 (dwell_s)")) << notices[0].text.toStdString();
    EXPECT_EQ(chip.listFrequencies(), (std::vector<double>{1e6, 2e6}));
    EXPECT_EQ(in<QTableView>(l, "Rows")->model()->rowCount(), 2);
}

// On bus triggers: Start loads and waits, Step hops; the main window's
// frequency fields and options are locked and show the registers live.
TEST_F(HopListWindowTest, StepHopsAndTheMainWindowFollows) {
    HopListWindow* l = openWindow();
    chip.setListFrequencies({1e6, 10e6}, false);
    chip.setListDwells({0.001}, false);
    in<QRadioButton>(l, "TriggerBus")->click();
    EXPECT_EQ(chip.listTrigger(), hoplist::Trigger::Bus);
    const size_t before = words().size();
    in<QPushButton>(l, "Start")->click();
    ASSERT_TRUE(eventually([&] { return in<QPushButton>(l, "Step")->isEnabled(); }));
    in<QPushButton>(l, "Step")->click();
    // What each register's word makes at 50 MHz: 0x051EB852 and 0x33333333.
    ASSERT_TRUE(eventually([&] { return ui().Text2->text() == "1.0000000009"; }));
    std::vector<uint16_t> sent = words();
    sent.erase(sent.begin(), sent.begin() + static_cast<long>(before));
    EXPECT_WORDS(sent, 0x3452, 0x25B8, 0x361E, 0x2705, 0x9000, 0x5800, 0x3033, 0x2133, 0x3233, 0x2333);
    EXPECT_TRUE(ui().Text1->isReadOnly());
    EXPECT_TRUE(ui().Option3D2->isChecked());
    EXPECT_FALSE(ui().Option3D1->isEnabled());
    EXPECT_EQ(ui().Label12->text(), "051EB852");
    EXPECT_EQ(in<QLabel>(l, "Progress")->text(), "Row 1 of 2, pass 1 of 1, waiting for a trigger");
    auto* status = w->statusBar()->findChild<QLabel*>("listStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), "List: row 1 of 2, pass 1 of 1");
    in<QPushButton>(l, "Step")->click();
    ASSERT_TRUE(eventually([&] { return !ui().Text1->isReadOnly(); }));
    EXPECT_EQ(ui().Text1->text(), "9.9999999977");
    EXPECT_TRUE(ui().Option3D1->isChecked());
    EXPECT_TRUE(ui().Option3D1->isEnabled()) << "SELSRC stays 1: the options are free again";
    EXPECT_EQ(ui().Command11->text(), "SE&LSRC = 1");
    EXPECT_FALSE(in<QPushButton>(l, "Step")->isEnabled());
    EXPECT_EQ(status->text(), "");
}

}  // namespace
