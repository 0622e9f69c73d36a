// The SCPI commands on the program's own chip: commands whose words would be
// dropped (a printer port that could not be opened) fail with -241 naming the
// port and change nothing, commands that send nothing still work, and a
// sweep's progress as the engine announces it.
#include "portlib/ppdev/PpdevPort.h"
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/WireHarness.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class HardwareMissing : public ::testing::TestWithParam<const char*> {
protected:
    HardwareMissing() {
        wire.port.setBackend(std::make_unique<PpdevPort>("/nonexistent/parport77", "/nonexistent"));
        wire.port.ClaimParallelPort(1, -1);  // fails: nothing at that path
    }
    std::string ask(const char* line) { return session.execute(line).reply; }

    WireHarness wire;
    scpi::ChipInstrument instrument{wire.chip};
    scpi::Session session{instrument};
};

TEST_P(HardwareMissing, IsRefusedNamingThePortAndChangesNothing) {
    const std::string before = ask("FREQ0:WORD?;:PHAS1?;:CONT:SYNC?;:SWE0:STAT?");
    session.execute(GetParam());
    EXPECT_EQ(ask("SYST:ERR?"), "-241,\"Hardware missing;PARPORT /nonexistent/parport77\"") << GetParam();
    EXPECT_EQ(ask("FREQ0:WORD?;:PHAS1?;:CONT:SYNC?;:SWE0:STAT?"), before) << GetParam();
    EXPECT_EQ(ask("*IDN?").find(",NONE,") != std::string::npos, true);
}

INSTANTIATE_TEST_SUITE_P(Commands, HardwareMissing,
                         ::testing::Values("FREQ0 1MHZ", "PHAS1 5", "CONT:SYNC ON", "INIT", "WORD 1", "SWE0:INIT",
                                           "*RST", "FREQ1:WORD #H1000"));

TEST(HardwareMissingClock, ACommandThatSendsNothingStillWorks) {
    WireHarness wire;
    wire.port.setBackend(std::make_unique<PpdevPort>("/nonexistent/parport77", "/nonexistent"));
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    session.execute("CLOC 40MHZ");
    EXPECT_EQ(session.execute("CLOC?;:SYST:ERR?").reply, "40000000.0000;0,\"No error\"");
    EXPECT_EQ(session.execute("STAT:QUES:COND?").reply, "512");
}

// Step k of n in loop i of N: running, after the end, and before any sweep.
TEST(SweepProgress, AnswersTheEnginesFigures) {
    WireHarness wire;
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    EXPECT_EQ(session.execute("SWE0:PROG?").reply, "0,0,0,0") << "before any sweep";
    session.execute("SWE1:STAR 0;STOP 2 MHZ;STEP 1 MHZ;LOOP 2;DEL 100 S");
    session.execute("SWE1:INIT");
    wire.chip.sweeps().countup2_Timer();
    wire.chip.sweeps().countup2_Timer();
    EXPECT_EQ(session.execute("SWE1:PROG?").reply, "2,4,1,2") << "0 and 1 MHz loaded of 0, 1, 2, 2";
    for (int i = 0; i < 6; ++i) wire.chip.sweeps().countup2_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.execute("SWE1:STAT?").reply == "IDLE"; }, 2000));
    EXPECT_EQ(session.execute("SWE1:PROG?").reply, "4,4,2,2") << "the last sweep's figures when idle";
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "0,\"No error\"");
}

}  // namespace
