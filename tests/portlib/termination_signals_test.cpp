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

class TerminationSignals : public ::testing::TestWithParam<SignalCase> {
protected:
    void TearDown() override { platform::setProgramEnder(nullptr); }
};

TEST_P(TerminationSignals, EndTheProgramOnTheEventLoop) {
    platform::installTerminationSignals();
    platform::installTerminationSignals();  // a second call must not add a second pipe
    std::vector<int> ended;
    platform::setProgramEnder([&](int status) { ended.push_back(status); });

    ASSERT_EQ(std::raise(GetParam().signo), 0);
    EXPECT_TRUE(ended.empty()) << "ended inside the signal handler";
    // The pipe is readable at once; spin until the notifier has run.
    for (int i = 0; i < 1000 && ended.empty(); ++i) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(ended, std::vector<int>{GetParam().status});
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignals,
                         ::testing::Values(SignalCase{SIGTERM, 143}, SignalCase{SIGINT, 130}, SignalCase{SIGHUP, 129}));

}  // namespace
