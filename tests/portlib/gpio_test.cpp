// The GPIO back end against a fake libgpiod: the lines requested, what
// reaches them, faults; and the --port gpio:... wiring text.
#include "PinScenario.h"

#include "board/WireDecoder.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/gpio/GpioPort.h"
#include "support/FakePins.h"
#include "support/PortRig.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

struct WiringCase {
    std::string text;
    std::optional<std::string> chip;  // nothing: refused
    portlib::gpio::Offsets offsets;
};

class GpioWiringText : public ::testing::TestWithParam<WiringCase> {};

TEST_P(GpioWiringText, ChipThenTheOffsetsAfterTheLastColon) {
    const WiringCase& c = GetParam();
    const auto w = parseGpioWiring(c.text);
    ASSERT_EQ(w.has_value(), c.chip.has_value()) << c.text;
    if (!w) return;
    EXPECT_EQ(w->chip, *c.chip);
    EXPECT_EQ(w->offsets, c.offsets);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GpioWiringText,
    ::testing::Values(WiringCase{"gpiochip0:17,27,22", "gpiochip0", {17, 27, 22}},
                      WiringCase{"/dev/gpiochip1:0,1,2", "/dev/gpiochip1", {0, 1, 2}},
                      WiringCase{"pinctrl-bcm2711:gpio:4,5,6", "pinctrl-bcm2711:gpio", {4, 5, 6}},
                      WiringCase{"2:100,3,9", "2", {100, 3, 9}},
                      WiringCase{"gpiochip0", std::nullopt, {}}, WiringCase{":1,2,3", std::nullopt, {}},
                      WiringCase{"gpiochip0:1,2", std::nullopt, {}}, WiringCase{"gpiochip0:1,2,3,4", std::nullopt, {}},
                      WiringCase{"gpiochip0:1,2,", std::nullopt, {}}, WiringCase{"gpiochip0:1,x,3", std::nullopt, {}},
                      WiringCase{"gpiochip0:-1,2,3", std::nullopt, {}}, WiringCase{"gpiochip0: 1,2,3", std::nullopt, {}},
                      WiringCase{"gpiochip0:5,2,5", std::nullopt, {}},
                      WiringCase{"gpiochip0:1,2,99999999", std::nullopt, {}}));

class GpioTest : public ::testing::Test, public PortRig {
protected:
    void install(const std::string& wiring = "gpiochip0:17,27,22") {
        PortRig::install(std::make_unique<GpioPort>(std::make_unique<FakeGpio>(fake), *parseGpioWiring(wiring)));
    }
    std::shared_ptr<FakeGpioState> fake = std::make_shared<FakeGpioState>();
};

TEST_F(GpioTest, TheThreeLinesBecomeOutputsAtTheIdleLevelsUnderOurName) {
    install();
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    EXPECT_EQ(fake->openedChip, "gpiochip0");
    EXPECT_EQ(fake->requested, (portlib::gpio::Offsets{17, 27, 22}));
    EXPECT_EQ(fake->initial, (portlib::gpio::Levels{0, 0, 1}));
    EXPECT_EQ(fake->consumer, "qz4471");
    EXPECT_EQ(said, std::vector<std::string>{"using GPIO gpiochip0 lines 17,27,22 (clock, data, frame)"});
}

TEST_F(GpioTest, EveryWriteIsOneBulkSetAndTheWordsAreTheSimulatedBoards) {
    const std::vector<uint16_t> expected = simulatedBoardWords();
    install();
    runStartupAndFrequencyEntry(parllio);
    EXPECT_EQ(decodeWire(fake->pins).words, expected);
    EXPECT_EQ(fake->pins.size(), expected.size() * 52u) << "one set per data-register write, none for the control register";
}

TEST_F(GpioTest, AFailingSetIsAPortErrorAndTheNextWriteGoesThrough) {
    install();
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    fake->setError = EIO;
    EXPECT_EQ(portErrorOf([this] { SendWord(0x378, 0x8000); }),
              "GPIO lines 17,27,22 of gpiochip0 could not be set: Input/output error");
    fake->setError = 0;
    SendWord(0x378, 0x8000);
    EXPECT_EQ(decodeWire(fake->pins).words, std::vector<uint16_t>{0x8000});
}

struct GpioFaultCase {
    const char* name;
    std::string wiring;
    int openError, requestError;
    std::string holder;
    std::string says;
};

class GpioFault : public GpioTest, public ::testing::WithParamInterface<GpioFaultCase> {};

TEST_P(GpioFault, OneLineOnStderrThenAFailedClaimAndTheProgramGoesOn) {
    const GpioFaultCase& c = GetParam();
    fake->lines = 28;
    fake->openError = c.openError;
    fake->requestError = c.requestError;
    fake->holder = c.holder;
    install(c.wiring);
    EXPECT_EQ(ClaimParallelPort(1, -1), 0);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], c.says);
    EXPECT_NO_THROW(SendWord(0x378, 0xD800));
    EXPECT_EQ(fake->sets, 0u);
    EXPECT_EQ(fake->closed, c.openError == 0) << "an open chip is closed again";
}

const std::string kAccess = " (Permission denied); join group gpio (sudo adduser $USER gpio, then log in again) or "
                            "install a udev rule for /dev/gpiochip* (README, GPIO header)";

INSTANTIATE_TEST_SUITE_P(
    Faults, GpioFault,
    ::testing::Values(
        GpioFaultCase{"noChip", "gpiochip9:1,2,3", ENOENT, 0, "",
                      "no GPIO chip 'gpiochip9' (looked for it as a name, path, label and number); gpiodetect "
                      "or ls /dev/gpiochip* lists the chips"},
        GpioFaultCase{"chipAccess", "gpiochip0:1,2,3", EACCES, 0, "",
                      "no permission to use GPIO chip 'gpiochip0'" + kAccess},
        GpioFaultCase{"outOfRange", "gpiochip0:17,40,22", 0, 0, "",
                      "GPIO line 40 is out of range: gpiochip0 has 28 lines (0 to 27)"},
        GpioFaultCase{"busyNamed", "gpiochip0:17,27,22", 0, EBUSY, "spi0 CS0",
                      "GPIO line 17 of gpiochip0 is busy, used by \"spi0 CS0\"; free it or choose other "
                      "lines, then start again"},
        GpioFaultCase{"busyUnnamed", "gpiochip0:1,2,3", 0, EBUSY, "",
                      "GPIO lines 1,2,3 of gpiochip0 are busy, held by another program or driver; free them "
                      "or choose other lines, then start again"},
        GpioFaultCase{"requestAccess", "gpiochip0:1,2,3", 0, EPERM, "",
                      "no permission to use GPIO chip 'gpiochip0' (Operation not permitted); join group "
                      "gpio (sudo adduser $USER gpio, then log in again) or install a udev rule for /dev/gpiochip* "
                      "(README, GPIO header)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST_F(GpioTest, NamedByChipAndLinesAndDroppedUntilClaimed) {
    install("my chip:4:17,27,22");
    EXPECT_TRUE(parllio.writesDropped(0x378));
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    EXPECT_FALSE(parllio.writesDropped(0x378));
    EXPECT_EQ(parllio.backend()->instrumentName(), "GPIO my_chip:4 17 27 22");
}
