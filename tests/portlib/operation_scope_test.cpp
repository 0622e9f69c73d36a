// Operation scopes: a failure thrown by finish() or reported by the
// destructor, and the lock that keeps another thread's words out of an
// operation (nesting and decorators: see the FTDI tests).
#include "board/WireDecoder.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/RecordingPort.h"
#include "support/StubPort.h"
#include "support/WireHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Counts operationDone calls; fails them while failing is set.
class CountingPort : public StubPort {
public:
    int done = 0;
    bool failing = false;
    void operationDone() override {
        ++done;
        if (failing) throw PortError("the transfer failed");
    }
};

class OperationScopeTest : public ::testing::Test {
protected:
    OperationScopeTest() {
        auto p = std::make_unique<CountingPort>();
        counting = p.get();
        port.setBackend(std::move(p));
    }
    std::vector<std::string> said;
    portlib::Parllio port{[this](const std::string& l) { said.push_back(l); }};
    CountingPort* counting = nullptr;
};

TEST_F(OperationScopeTest, FinishThrowsTheFailureAndTheDepthIsRestored) {
    counting->failing = true;
    portlib::OperationScope op(port);
    EXPECT_THROW(op.finish(), PortError);
    EXPECT_NO_THROW(op.finish()) << "a second finish is no second end";
    EXPECT_EQ(counting->done, 1);
    EXPECT_EQ(port.operationDepth(), 0);
    EXPECT_TRUE(said.empty());
}

TEST_F(OperationScopeTest, AnUnfinishedScopeEndsQuietlyAndReportsTheFailure) {
    counting->failing = true;
    EXPECT_NO_THROW({ portlib::OperationScope op(port); });
    EXPECT_EQ(said, std::vector<std::string>{"the transfer failed"});
    EXPECT_EQ(port.operationDepth(), 0);
}

TEST(OperationLock, AnotherThreadsWordWaitsForTheOperationToEnd) {
    portlib::Parllio port;
    auto rec = std::make_unique<RecordingPort>(std::make_unique<StubPort>());
    RecordingPort* recording = rec.get();
    port.setBackend(std::move(rec));
    port.setPortAddress(0x378);
    Transmitter tx(port);
    std::thread other;
    {
        portlib::OperationScope op(port);
        tx.send(0x1111);
        other = std::thread([&tx] { tx.send(0x2222); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tx.send(0x3333);
        op.finish();
    }
    other.join();
    const DecodedWire d = decodeWire(recording->writesTo(0x378));
    EXPECT_EQ(hexWords(d.words), hexWords({0x1111, 0x3333, 0x2222}));
    EXPECT_EQ(d.framingErrors, 0);
}

}  // namespace
