// --list-ports: printer ports, FTDI adapters (the real libftdi1 over the
// stand-in libusb) and GPIO chips, one a line with the --port value.
#include "portlib/PortList.h"
#include "portlib/ftdi/LibFtdi.h"
#include "support/FakePins.h"
#include "support/fakeusb/FakeUsb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libusb.h>

namespace {

class PortList : public ::testing::Test {
protected:
    void SetUp() override { fakeusb::reset(); }
    void TearDown() override {
        EXPECT_EQ(fakeusb::openHandles(), 0);
        EXPECT_EQ(fakeusb::deviceReferences(), 0);
    }
    void file(const QString& path, const QByteArray& text = {}) {
        ASSERT_TRUE(QDir(root.path()).mkpath(QFileInfo(root.filePath(path)).path()));
        QFile f(root.filePath(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    portlib::PortListing list() {
        portlib::ftdi::LibFtdi ftdi(root.filePath("sys").toStdString());
        FakeGpio gpio(gpioState);
        return portlib::listPorts(ftdi, gpio, {root.filePath("dev").toStdString(), root.filePath("proc").toStdString()});
    }

    QTemporaryDir root;
    std::shared_ptr<FakeGpioState> gpioState = std::make_shared<FakeGpioState>();
};

TEST_F(PortList, EveryPortOneALineInOrder) {
    file("dev/parport1");
    file("dev/parport0");
    file("proc/parport0/base-addr", "888\t1912\n");
    file("dev/gpiochip0");
    file("dev/gpiochipX");  // not a chip
    file("dev/ttyUSB0");
    file("sys/bus/usb/devices/1-2:1.0/ttyUSB0/dev");
    fakeusb::plug({0x0403, 0x6014, "FT5ABC", 1, {2}, 4});
    fakeusb::plug({0x0781, 0x5581, "4C53", 1, {1}, 3});
    fakeusb::plug({0x0403, 0x6001, "", 2, {1, 4}, 9});
    fakeusb::plug({0x0403, 0x6015, "LOCKED", 2, {3}, 5, LIBUSB_ERROR_ACCESS});
    const portlib::PortListing r = list();
    const std::string dev = root.filePath("dev").toStdString();
    EXPECT_EQ(r.out, dev + "/parport0  printer port at 0x378\n" +
                         dev + "/parport1  printer port\n"
                         "ftdi:s:0x0403:0x6014:FT5ABC       FTDI FT232H, serial FT5ABC, USB port 1-2, /dev/ttyUSB0\n"
                         "ftdi:d:002/009                    FTDI FT232R, no serial, USB port 2-1.4\n"
                         "ftdi:d:002/005                    FTDI FT-X, serial unreadable (LIBUSB_ERROR_ACCESS), USB "
                         "port 2-3\n"
                         "gpio:gpiochip0:CLK,DATA,FRAME     GPIO chip, 54 lines\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(gpioState->openedChip, dev + "/gpiochip0");
    EXPECT_TRUE(gpioState->closed);
}

TEST_F(PortList, AFailedEnumerationAndAChipThatWillNotOpenAreSaidOnStderr) {
    file("dev/gpiochip3");
    gpioState->openError = EACCES;
    fakeusb::plug({0x0403, 0x6014, "FT5ABC", 1, {2}, 4});
    fakeusb::failEnumeration(LIBUSB_ERROR_NO_MEM);
    const portlib::PortListing r = list();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "qz4471: cannot look for FTDI adapters: USB enumeration failed (LIBUSB_ERROR_NO_MEM)\n"
                     "qz4471: cannot open " + root.filePath("dev/gpiochip3").toStdString() + ": Permission denied\n"
                     "qz4471: no printer port, FTDI adapter or GPIO chip found; --port sim drives the simulated board\n");
}

}  // namespace
