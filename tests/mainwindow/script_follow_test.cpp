// The main window follows what a script does to the chip, as if the user had
// done it, but never overwrites a field the user is editing.
#include "MainFormFixture.h"

#include "scpi/ChipInstrument.h"
#include "scpi/ScriptRunner.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <sstream>

namespace {

class ScriptWithWindow : public MainFormTest {
protected:
    // Runs the lines as a script file and waits for its end; true when every line passed.
    bool run(const char* lines) {
        QTemporaryFile file;
        EXPECT_TRUE(file.open());
        file.write(lines);
        file.close();
        scpi::ChipInstrument instrument(chip);
        scpi::ScriptRunner runner(instrument, file.fileName().toStdString(), out, err);
        QSignalSpy done(&runner, &scpi::ScriptRunner::finished);
        runner.start();
        if (done.isEmpty()) done.wait(5000);
        return !runner.failed();
    }
    std::ostringstream out, err;
};

TEST_F(ScriptWithWindow, FieldsCaptionsAndOptionsShowTheScriptsChanges) {
    ASSERT_TRUE(run("FREQ0 12.5MHZ\nFREQ1 MAX\nPHAS0 4095\nPHAS1 12.5\nCLOC 60MHZ\n"
                    "CONT:SYNC ON\nCONT:SELS ON\nCONT:SLE ON\nSEL:PHAS 3\n"))
        << err.str();
    // The clock committed last: each register's field shows what its word makes at 60 MHz.
    EXPECT_EQ(ui().Text1->text(), "15.0000000000");
    EXPECT_EQ(ui().Label11->text(), "40000000");
    EXPECT_EQ(ui().Text2->text(), "29.9999999860");  // word 7FFFFFFF
    EXPECT_EQ(ui().Text3->text(), "4095");
    EXPECT_EQ(ui().Text4->text(), "12");
    EXPECT_EQ(ui().Text7->text(), "60.000000");
    EXPECT_EQ(ui().Command13->text(), "&Sync Bit = 1");
    EXPECT_EQ(ui().Command11->text(), "SE&LSRC = 1");
    EXPECT_TRUE(ui().Option2->isChecked());
    EXPECT_TRUE(ui().Option3D6->isChecked());
    EXPECT_TRUE(ui().Option3D6->isEnabled());
    EXPECT_TRUE(notices.empty()) << "a script never opens a box";
}

TEST_F(ScriptWithWindow, AFieldBeingEditedKeepsTheUsersText) {
    typeInto(ui().Text1, "7.5");
    typeInto(ui().Text7, "12");  // half-typed: the script must not compute with it
    ASSERT_TRUE(run("FREQ0 10MHZ\n")) << err.str();
    EXPECT_EQ(ui().Text7->text(), "12") << "the field the user is in";
    EXPECT_EQ(ui().Text1->text(), "10.0000000000") << "a field the user left";
    EXPECT_EQ(ui().Label11->text(), "33333333") << "computed with the committed 50 MHz";
}

// A half-typed clock is no clock: a sweep started by a script steps with the
// committed one, as CLOC? reports it.
TEST_F(ScriptWithWindow, ASweepNeverComputesWithAHalfTypedClock) {
    typeInto(ui().Text7, "60");
    ASSERT_TRUE(run("SWE0:STAR 1 MHZ;:SWE0:STOP 3 MHZ;:SWE0:STEP 1 MHZ;:SWE0:LOOP 1;:SWE0:DEL 10\nSWE0:INIT\n"))
        << err.str();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !chip.sweeping(0); }, 5000));
    const auto w = words();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(hexWords({w.begin(), w.begin() + 4}), hexWords({0x3052, 0x21B8, 0x321E, 0x2305})) << "1 MHz at 50 MHz";
    EXPECT_EQ(ui().Text7->text(), "60") << "the field the user is in";
}

}  // namespace
