#include "platform/ProgramEnd.h"
#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <csignal>

namespace {

struct SignalCase {
    int signo;
    int status;
};

// Records the ends it is asked for; it outlives every case, as main's does the program.
struct RecordingEnd final : platform::ProgramEnd {
    std::vector<int> ended;
    void endProgram(int status) override { ended.push_back(status); }
};
RecordingEnd end;

class TerminationSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(TerminationSignals, EndTheProgramOnTheEventLoop) {
    RecordingEnd other;
    platform::installTerminationSignals(end);
    platform::installTerminationSignals(other);  // a second call must not add a second pipe
    std::vector<int>& ended = end.ended;
    ended.clear();

    ASSERT_EQ(std::raise(GetParam().signo), 0);
    EXPECT_TRUE(ended.empty()) << "ended inside the signal handler";
    // The pipe is readable at once; spin until the notifier has run.
    for (int i = 0; i < 1000 && ended.empty(); ++i) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(ended, std::vector<int>{GetParam().status});
    EXPECT_TRUE(other.ended.empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignals,
                         ::testing::Values(SignalCase{SIGTERM, 143}, SignalCase{SIGINT, 130}, SignalCase{SIGHUP, 129}));

}  // namespace
