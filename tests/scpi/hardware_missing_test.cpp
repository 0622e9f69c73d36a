// Commands whose words would be dropped (a printer port that could not be
// opened) fail with -241 naming the port and change nothing; commands that
// send nothing still work.
#include "portlib/ppdev/PpdevPort.h"
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/WireHarness.h"

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

}  // namespace
