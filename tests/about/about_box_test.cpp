// The About box driven through its real widgets: layout, keys, and the
// "System Info" button over a fake registry, file test and program starter.
#include "FakeRegistry.h"
#include "platform/ProgramEnd.h"
#include "platform/ProgramStart.h"
#include "platform/Seams.h"
#include "platform/UserNotice.h"
#include "about/frmAbout.h"
#include "platform/AppIcon.h"
#include "platform/UserNotice.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const std::string kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable = "System Information Is Unavailable At This Time";

struct Started {
    QString program;
    QStringList arguments;
};

class AboutBox : public ::testing::Test {
protected:
    // Boxes are recorded with whether the About box was still up behind them.
    struct Notices final : UserNotice {
        AboutBox& t;
        explicit Notices(AboutBox& test) : t(test) {}
        void showMessage(const Notice& n, QWidget*) override {
            t.notices.push_back(n);
            t.boxVisibleDuringMessage = t.box && t.box->isVisible();
        }
        void beep() override {}
    };
    // File tests and program starts are recorded; only the listed ones succeed.
    struct Programs final : ProgramStart {
        AboutBox& t;
        explicit Programs(AboutBox& test) : t(test) {}
        bool fileExists(const QString& p) override {
            t.fileTests << p;
            return t.files.contains(p);
        }
        bool startProgram(const QString& p, const QStringList& args) override {
            t.starts.push_back({p, args});
            return t.programs.contains(p);
        }
    };
    struct NoEnd final : ProgramEnd {
        void endProgram(int) override {}
    };
    void TearDown() override { box.reset(); }
    void useLinuxRegistry() { registry = &linuxRegistry; }
    Seams seams() { return {noticeSeam, endSeam, *registry, programSeam}; }

    void open() {
        box = std::make_unique<frmAbout>(seams());
        box->show();
        box->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
    }
    template <class T>
    T* child(const char* name) {
        T* w = box->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void clickSysInfo() {
        QTest::mouseClick(child<QPushButton>("cmdSysInfo"), Qt::LeftButton);
    }
    void expectOnlyUnavailableMessage() {
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].text, kUnavailable);
        EXPECT_EQ(notices[0].title, "QZ4471");
        EXPECT_EQ(notices[0].icon, MessageIcon::None);
        EXPECT_TRUE(boxVisibleDuringMessage);
        EXPECT_TRUE(box->isVisible()) << "the box stays open after the message";
    }

    FakeRegistry reg;
    std::unique_ptr<frmAbout> box;
    std::vector<Notice> notices;
    bool boxVisibleDuringMessage = false;
    QStringList fileTests;
    QSet<QString> files;
    std::vector<Started> starts;
    QSet<QString> programs;
    Notices noticeSeam{*this};
    Programs programSeam{*this};
    NoEnd endSeam;
    LinuxRegistry linuxRegistry;
    Registry* registry = &reg;
};

TEST_F(AboutBox, BothValuesMissingShowsTheMessageAndStaysOpen) {
    open();
    clickSysInfo();
    expectOnlyUnavailableMessage();
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(fileTests.isEmpty());
    ASSERT_EQ(reg.opens.size(), 2u);
    EXPECT_EQ(reg.opens[0].key, kPathKey);
    EXPECT_EQ(reg.opens[1].key, kFolderKey);
    EXPECT_EQ(reg.stillOpen(), 0u);
}

TEST_F(AboutBox, OnlyTheFolderValueStartsTheProgramInIt) {
    reg.setString(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO", "C:\\PROGRA~1\\COMMON~1\\MSINFO");
    const QString program = "C:\\PROGRA~1\\COMMON~1\\MSINFO\\MSINFO32.EXE";
    files << program;
    programs << program;
    open();
    clickSysInfo();
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(fileTests, QStringList{program});
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, program);
    EXPECT_TRUE(starts[0].arguments.isEmpty());
    ASSERT_EQ(reg.queries.size(), 1u);
    EXPECT_EQ(reg.queries[0], "MSINFO");
}

TEST_F(AboutBox, FolderWithoutTheProgramShowsTheMessage) {
    reg.setString(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO", "C:\\EMPTY");
    open();
    clickSysInfo();
    EXPECT_EQ(fileTests, QStringList{"C:\\EMPTY\\MSINFO32.EXE"});
    EXPECT_TRUE(starts.empty());
    expectOnlyUnavailableMessage();
}

TEST_F(AboutBox, ProgramValueIsStartedWithoutAFileTest) {
    reg.setString(HKEY_LOCAL_MACHINE, kPathKey, "PATH", "/usr/bin/hardinfo2");
    programs << "/usr/bin/hardinfo2";
    open();
    clickSysInfo();
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(fileTests.isEmpty());
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, "/usr/bin/hardinfo2");
    EXPECT_EQ(reg.opens.size(), 1u);
}

TEST_F(AboutBox, ProgramValueNamingAMissingFileFailsWithoutTryingTheFolder) {
    reg.setString(HKEY_LOCAL_MACHINE, kPathKey, "PATH", "/nowhere/msinfo");
    reg.setString(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO", "C:\\TOOLS");
    files << "C:\\TOOLS\\MSINFO32.EXE";
    programs << "C:\\TOOLS\\MSINFO32.EXE";
    open();
    clickSysInfo();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, "/nowhere/msinfo");
    expectOnlyUnavailableMessage();
    ASSERT_EQ(reg.opens.size(), 1u) << "the folder value is not tried";
    EXPECT_EQ(reg.opens[0].key, kPathKey);
    EXPECT_TRUE(fileTests.isEmpty());
}

TEST_F(AboutBox, ProgramValueOfAnotherTypeCountsAsFoundButEmpty) {
    reg.set(HKEY_LOCAL_MACHINE, kPathKey, "PATH", 3, QByteArray("\x2F\x75\x73\x72", 4));
    reg.setString(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO", "C:\\TOOLS");
    files << "C:\\TOOLS\\MSINFO32.EXE";
    programs << "C:\\TOOLS\\MSINFO32.EXE";
    open();
    clickSysInfo();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, "");
    expectOnlyUnavailableMessage();
    EXPECT_EQ(reg.opens.size(), 1u);
}

TEST_F(AboutBox, OnLinuxTheProgramFoundOnPathIsStarted) {
    useLinuxRegistry();
    const QByteArray savedPath = qgetenv("PATH");
    QTemporaryDir tmp;
    const QString program = tmp.path() + "/hardinfo";
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    programs << program;
    qputenv("PATH", tmp.path().toLocal8Bit());
    open();
    clickSysInfo();
    qputenv("PATH", savedPath);
    EXPECT_TRUE(notices.empty());
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, program);
}

TEST_F(AboutBox, OnLinuxWithoutAProgramTheMessageFollows) {
    useLinuxRegistry();
    const QByteArray savedPath = qgetenv("PATH");
    QTemporaryDir tmp;
    qputenv("PATH", tmp.path().toLocal8Bit());
    open();
    clickSysInfo();
    qputenv("PATH", savedPath);
    EXPECT_TRUE(starts.empty());
    expectOnlyUnavailableMessage();
}

TEST_F(AboutBox, TheRealStarterRefusesAnEmptyPath) {
    EXPECT_FALSE(ProgramStart().startProgram(QString()));
}

TEST_F(AboutBox, OpensWithTheFocusOnOkThenTabsToSystemInfo) {
    open();
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("cmdOK"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("cmdSysInfo"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("cmdOK"));
}

class CloseKey : public AboutBox, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(CloseKey, ClosesTheBox) {
    open();
    QTest::keyClick(QApplication::focusWidget(), GetParam());
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->result(), QDialog::Accepted) << "closed through OK";
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(reg.opens.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, CloseKey,
                         ::testing::Values(Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter));

TEST_F(AboutBox, OkButtonClosesTheBox) {
    open();
    QTest::mouseClick(child<QPushButton>("cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(box->isVisible());
}

TEST_F(AboutBox, ShownModallyItReturnsWhenEscIsPressed) {
    QWidget owner;
    owner.show();
    frmAbout modal(seams(), &owner);
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = QApplication::activeModalWidget() == &modal;
        QTest::keyClick(&modal, Qt::Key_Escape);
    });
    EXPECT_EQ(modal.exec(), QDialog::Accepted);
    EXPECT_TRUE(wasModal);
}

struct Place {
    const char* name;
    QRect pixels;
};

class ControlPlace : public AboutBox, public ::testing::WithParamInterface<Place> {};

TEST_P(ControlPlace, SitsWhereTheLayoutPutsIt) {
    open();
    const Place& p = GetParam();
    QWidget* w = child<QWidget>(p.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), p.pixels) << p.name;
    EXPECT_EQ(w->parentWidget(), box.get()) << p.name;
}

INSTANTIATE_TEST_SUITE_P(
    Layout, ControlPlace,
    ::testing::Values(Place{"picIcon", {16, 16, 36, 36}}, Place{"lblTitle", {70, 16, 259, 18}},
                      Place{"lblVersion", {70, 49, 259, 15}},
                      Place{"lblDescription", {70, 63, 259, 15}},
                      Place{"Label1", {70, 91, 253, 15}}, Place{"Label2", {70, 119, 253, 43}},
                      Place{"Line1_1", {6, 163, 371, 1}}, Place{"Line1_0", {7, 164, 370, 2}},
                      Place{"cmdSysInfo", {7, 175, 83, 23}}, Place{"cmdOK", {283, 175, 84, 23}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AboutBox, WindowIsAFixedDialogWithItsCaption) {
    open();
    EXPECT_EQ(box->windowTitle(), "About QZ4471 Evaluation Software");
    EXPECT_EQ(box->size(), QSize(382, 205));
    EXPECT_EQ(box->minimumSize(), QSize(382, 205));
    EXPECT_EQ(box->maximumSize(), QSize(382, 205));
    const Qt::WindowFlags flags = box->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(AboutBox, IsCentredOnTheScreen) {
    open();
    const QRect screen = box->screen()->geometry();
    const QRect outer = box->frameGeometry();
    EXPECT_EQ(outer.left(), screen.left() + (screen.width() - outer.width()) / 2);
    EXPECT_EQ(outer.top(), screen.top() + (screen.height() - outer.height()) / 2);
}

struct Text {
    const char* name;
    const char* text;
};

class ControlText : public AboutBox, public ::testing::WithParamInterface<Text> {};

TEST_P(ControlText, ShowsItsText) {
    open();
    const Text& t = GetParam();
    QWidget* w = child<QWidget>(t.name);
    ASSERT_NE(w, nullptr);
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        EXPECT_EQ(b->text(), t.text);
        EXPECT_FALSE(b->font().bold()) << t.name;
    } else {
        auto* l = qobject_cast<QLabel*>(w);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), t.text);
        EXPECT_TRUE(l->font().bold()) << t.name;
        EXPECT_TRUE(l->alignment() & Qt::AlignHCenter) << t.name;
    }
    EXPECT_EQ(w->font().family(), "Liberation Sans") << t.name;
    EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 8.25) << t.name;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ControlText,
    ::testing::Values(Text{"lblTitle", "QZ4471 Evaluation Board Software"},
                      Text{"lblVersion", "Hardware and Software designed by"},
                      Text{"lblDescription", "the Bench Signal Design Group"},
                      Text{"Label1", "Version 2.0"},
                      Text{"Label2",
                           "The latest version of all our software is available from our "
                           "web site at www.example.com/qz4471"},
                      Text{"cmdSysInfo", "&System Info..."}, Text{"cmdOK", "OK"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AboutBox, OkIsTheDefaultButton) {
    open();
    EXPECT_TRUE(child<QPushButton>("cmdOK")->isDefault());
    EXPECT_FALSE(child<QPushButton>("cmdSysInfo")->isDefault());
}

TEST_F(AboutBox, LongNoticeWrapsWithinItsLabel) {
    open();
    auto* notice = child<QLabel>("Label2");
    EXPECT_TRUE(notice->wordWrap());
    const int needed = notice->heightForWidth(notice->width());
    EXPECT_GT(needed, notice->fontMetrics().lineSpacing()) << "more than one line";
    EXPECT_LE(needed, notice->height()) << "no line cut off";
}

TEST_F(AboutBox, ShowsTheApplicationIconInTheMiddleOfItsBox) {
    open();
    const QImage icon = appIconPixmap().toImage();
    ASSERT_EQ(icon.size(), QSize(32, 32));
    const QImage image = box->grab().toImage();
    // picIcon is 36 x 36 at (16, 16): the picture sits 2 pixels in.
    int differing = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (image.pixelColor(18 + x, 18 + y) != icon.pixelColor(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
}

TEST_F(AboutBox, TheTwoLinesDrawAnEtchedSeparator) {
    open();
    const QImage image = box->grab().toImage();
    const QColor background = image.pixelColor(200, 150);
    for (int x : {8, 100, 375}) {
        EXPECT_EQ(image.pixelColor(x, 163), QColor(0x80, 0x80, 0x80)) << x;
        EXPECT_EQ(image.pixelColor(x, 164), QColor(Qt::white)) << x;
        EXPECT_EQ(image.pixelColor(x, 165), QColor(Qt::white)) << x;
        EXPECT_EQ(image.pixelColor(x, 162), background) << x;
        EXPECT_EQ(image.pixelColor(x, 166), background) << x;
    }
    EXPECT_NE(background, QColor(Qt::white));
}

}  // namespace
