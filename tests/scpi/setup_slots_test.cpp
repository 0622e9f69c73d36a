// The files behind *SAV and *RCL: a slot read back as written, an empty
// slot, and a write that fails leaving the earlier setup whole.
#include "scpi/SetupSlots.h"

#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(SetupSlots, KeepsEachSlotInAFileOfItsOwn) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    EXPECT_EQ(scpi::SetupSlots::defaultFolder(), home.path() + "/qz4471");

    scpi::SetupSlots files(home.path() + "/qz4471/deeper");  // made when first needed
    ASSERT_TRUE(files.store(0, "CLOC 1000").ok());
    ASSERT_TRUE(files.store(9, "CLOC 2000").ok());
    std::string text;
    ASSERT_TRUE(files.load(0, text).ok());
    EXPECT_EQ(text.substr(0, 28), "# QZ4471 setup 0, saved by *");
    EXPECT_EQ(text.substr(text.find('\n') + 1), "CLOC 1000\n");
    const scpi::Outcome empty = files.load(4, text);
    EXPECT_EQ(empty.code, scpi::SettingsConflict);
    EXPECT_EQ(empty.text, "Settings conflict;no setup saved in 4");
}

TEST(SetupSlots, AFailedWriteLeavesTheEarlierSetup) {
    QTemporaryDir home;
    scpi::SetupSlots files(home.path());
    ASSERT_TRUE(files.store(2, "CLOC 1000").ok());
    {
        FileSizeLimit full(40);  // the comment line fits, the setup does not
        const scpi::Outcome o = files.store(2, "CLOC 3000;:FREQ0 " + std::string(200, '1'));
        EXPECT_EQ(o.code, scpi::MassStorageError) << o.text;
    }
    std::string text;
    ASSERT_TRUE(files.load(2, text).ok());
    EXPECT_EQ(text.substr(text.find('\n') + 1), "CLOC 1000\n");

    QFile blocker(home.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_EQ(scpi::SetupSlots(blocker.fileName()).store(0, "CLOC 1000").code, scpi::MassStorageError);
}

}  // namespace
