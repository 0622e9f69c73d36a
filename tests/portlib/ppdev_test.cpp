#include "portlib/Parllio.h"
#include "portlib/ppdev/PpdevPort.h"

#include "support/PortRig.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <fstream>

namespace {

struct BaseAddrCase {
    const char* text;
    std::optional<uint16_t> base;
};

class BaseAddrParse : public ::testing::TestWithParam<BaseAddrCase> {};

TEST_P(BaseAddrParse, FirstDecimalNumber) { EXPECT_EQ(portlib::parseBaseAddr(GetParam().text), GetParam().base); }

INSTANTIATE_TEST_SUITE_P(Texts, BaseAddrParse,
                         ::testing::Values(BaseAddrCase{"888\t1912\n", 888}, BaseAddrCase{"632\n", 632},
                                           BaseAddrCase{"53264\t53272\n", 0xD010}, BaseAddrCase{"  956", 956},
                                           BaseAddrCase{"", std::nullopt}, BaseAddrCase{"none\n", std::nullopt},
                                           BaseAddrCase{"70000\n", std::nullopt}));

class PpdevTest : public ::testing::Test, public PortRig {
protected:
    // A fake /proc/sys/dev/parport with parportN/base-addr holding text.
    std::string fakeProc(const char* port, const char* text) {
        const QString d = dir.filePath(QString("proc/") + port);
        QDir().mkpath(d);
        std::ofstream(QDir(d).filePath("base-addr").toStdString()) << text;
        return dir.filePath("proc").toStdString();
    }
    QTemporaryDir dir;
};

TEST_F(PpdevTest, MissingDeviceFailsTheClaimAndSaysWhy) {
    const std::string dev = dir.filePath("parport0").toStdString();
    PpdevPort port(dev, fakeProc("parport0", "888\t-1\n"));
    port.setSink(sink());
    EXPECT_EQ(port.ClaimParallelPort(1, -1), 0);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "cannot open " + dev + ": No such file or directory");
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.ownsAddress(0x378));
}

TEST_F(PpdevTest, ANonPortFileCannotBeClaimed) {
    const std::string dev = dir.filePath("parport1").toStdString();
    std::ofstream(dev) << "not a device";
    PpdevPort port(dev, fakeProc("parport1", "632\n"));
    port.setSink(sink());
    EXPECT_EQ(port.ClaimParallelPort(1, -1), 0);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "cannot claim " + dev + ": Inappropriate ioctl for device");
    EXPECT_FALSE(port.ownsAddress(0x278));
}

TEST_F(PpdevTest, PermissionProblemsPointAtGroupLp) {
    EXPECT_EQ(PpdevPort::openFailureText("/dev/parport0", "open", EACCES),
              "cannot open /dev/parport0: Permission denied (join group lp)");
    EXPECT_EQ(PpdevPort::openFailureText("/dev/parport2", "claim", EBUSY),
              "cannot claim /dev/parport2: Device or resource busy");
}

TEST_F(PpdevTest, BaseAddressComesFromProcWithoutAClaim) {
    PpdevPort port("/nonexistent/parport0", fakeProc("parport0", "53264\t53272\n"));
    port.setSink(sink());
    ParallelPortInfo info;
    EXPECT_EQ(port.GetParallelPortInfo(1, info), 1);
    EXPECT_EQ(info.baseAddress, 0xD010);
    EXPECT_EQ(port.GetParallelPortInfo(2, info), 0);
    EXPECT_FALSE(port.ownsAddress(0xD010)) << "not open, so no address is ours";
}

TEST_F(PpdevTest, NoBaseAddressFileMeansNoAddress) {
    PpdevPort port("/nonexistent/parport3", dir.filePath("proc").toStdString());
    port.setSink(sink());
    ParallelPortInfo info;
    EXPECT_EQ(port.GetParallelPortInfo(1, info), 0);
    EXPECT_EQ(info.baseAddress, 0);
}

TEST_F(PpdevTest, UnclaimedPortDropsWritesThroughTheLibrary) {
    auto port = std::make_unique<PpdevPort>("/nonexistent/parport0", fakeProc("parport0", "888\n"));
    install(std::move(port));
    EXPECT_EQ(ClaimParallelPort(1, -1), 0);
    EXPECT_NO_THROW(OutByte(0x378, 4));
    EXPECT_NO_THROW(OutByte(0x37A, 0xC4));
    EXPECT_EQ(InByte(0x37A), 0xFF);
    EXPECT_EQ(said.size(), 2u);  // the open failure, then one note about dropped writes
}

}  // namespace
