// Operation scopes: a failure thrown by finish() or reported by the
// destructor (nesting and decorators: see the FTDI tests).
#include "portlib/Parllio.h"
#include "support/StubPort.h"

#include <gtest/gtest.h>

namespace {

// Counts operationDone calls; fails them while failing is set.
class CountingPort : public StubPort {
public:
    int done = 0;
    bool failing = false;
    void operationDone() override {
        ++done;
        if (failing) throw PortError("qz4471: the transfer failed");
    }
};

class OperationScopeTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto port = std::make_unique<CountingPort>();
        counting = port.get();
        portlib::setActiveBackend(std::move(port));
        portlib::setDiagnosticSink([this](const std::string& l) { said.push_back(l); });
    }
    void TearDown() override {
        portlib::setActiveBackend(nullptr);
        portlib::setDiagnosticSink(nullptr);
    }
    CountingPort* counting = nullptr;
    std::vector<std::string> said;
};

TEST_F(OperationScopeTest, FinishThrowsTheFailureAndTheDepthIsRestored) {
    counting->failing = true;
    portlib::OperationScope op;
    EXPECT_THROW(op.finish(), PortError);
    EXPECT_NO_THROW(op.finish()) << "a second finish is no second end";
    EXPECT_EQ(counting->done, 1);
    EXPECT_EQ(portlib::operationDepth(), 0);
    EXPECT_TRUE(said.empty());
}

TEST_F(OperationScopeTest, AnUnfinishedScopeEndsQuietlyAndReportsTheFailure) {
    counting->failing = true;
    EXPECT_NO_THROW({ portlib::OperationScope op; });
    EXPECT_EQ(said, std::vector<std::string>{"qz4471: the transfer failed"});
    EXPECT_EQ(portlib::operationDepth(), 0);
}

}  // namespace
