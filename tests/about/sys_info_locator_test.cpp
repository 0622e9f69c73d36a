// Finding the system-information program on a search path built for the test.
#include "platform/Registry.h"
#include "platform/SysInfoLocator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Program {
    const char* dir;
    const char* name;
    bool executable = true;
};

struct Case {
    const char* what;
    std::vector<Program> programs;
    std::vector<const char*> path;  // folders in search order
    const char* expected;           // "dir/name", or "" for none
};

void place(const QString& root, const Program& p) {
    QDir(root).mkpath(p.dir);
    QFile f(root + "/" + p.dir + "/" + p.name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (p.executable) perms |= QFile::ExeOwner;
    f.setPermissions(perms);
}

class LocatorCases : public ::testing::TestWithParam<Case> {};

TEST_P(LocatorCases, PicksTheFirstProgramOfTheList) {
    const Case& c = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    for (const Program& p : c.programs) place(tmp.path(), p);
    QStringList dirs;
    for (const char* d : c.path) dirs << tmp.path() + "/" + d;

    const QString found = locateSysInfo(dirs.join(':'));

    const QString expected = *c.expected ? tmp.path() + "/" + c.expected : QString();
    EXPECT_EQ(found.toStdString(), expected.toStdString()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LocatorCases,
    ::testing::Values(
        Case{"a lone program", {{"bin", "kinfocenter"}}, {"bin"}, "bin/kinfocenter"},
        Case{"list order beats path order",
             {{"a", "gnome-system-monitor"}, {"b", "hardinfo"}}, {"a", "b"}, "b/hardinfo"},
        Case{"hardinfo2 before hardinfo",
             {{"a", "hardinfo"}, {"a", "hardinfo2"}}, {"a"}, "a/hardinfo2"},
        Case{"the same program twice: the earlier folder",
             {{"a", "hardinfo"}, {"b", "hardinfo"}}, {"b", "a"}, "b/hardinfo"},
        Case{"a file that cannot be run is passed over",
             {{"a", "hardinfo", false}, {"b", "kinfocenter"}}, {"a", "b"}, "b/kinfocenter"},
        Case{"a folder off the path is not searched",
             {{"off", "hardinfo2"}, {"on", "gnome-system-monitor"}}, {"on"}, "on/gnome-system-monitor"},
        Case{"other programs only", {{"a", "top"}, {"a", "htop"}}, {"a"}, ""},
        Case{"nothing on the path", {}, {"a"}, ""}));

TEST(SysInfoLocator, EmptyPathFindsNothing) {
    EXPECT_TRUE(locateSysInfo(QString()).isEmpty());
    EXPECT_TRUE(locateSysInfo(QStringLiteral("::")).isEmpty());
}

// The Linux registry answers the program's path from PATH, and only that.
class LinuxRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = qgetenv("PATH");
    }
    void TearDown() override { qputenv("PATH", savedPath_); }
    QByteArray savedPath_;
    LinuxRegistry registry;
};

TEST_F(LinuxRegistryTest, AnswersThePathOfTheProgramFound) {
    QTemporaryDir tmp;
    place(tmp.path(), {"bin", "gnome-system-monitor"});
    qputenv("PATH", (tmp.path() + "/bin").toLocal8Bit());
    QString value;
    ASSERT_TRUE(GetKeyValue(registry, HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", value));
    EXPECT_EQ(value, tmp.path() + "/bin/gnome-system-monitor");
}

TEST_F(LinuxRegistryTest, WithoutAProgramTheKeyIsMissing) {
    QTemporaryDir tmp;
    qputenv("PATH", tmp.path().toLocal8Bit());
    QString value = "before";
    EXPECT_FALSE(GetKeyValue(registry, HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", value));
    EXPECT_TRUE(value.isEmpty());
}

TEST_F(LinuxRegistryTest, TheFolderValueDoesNotExist) {
    QTemporaryDir tmp;
    place(tmp.path(), {"bin", "hardinfo"});
    qputenv("PATH", (tmp.path() + "/bin").toLocal8Bit());
    QString value;
    EXPECT_FALSE(GetKeyValue(registry, HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", value));
    EXPECT_FALSE(GetKeyValue(registry, HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "Other", value));
}

}  // namespace
