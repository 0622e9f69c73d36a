// Setups from the File menu: what Save writes, Open applying a file as a
// script does (failing lines in one box, the rest applied), the folder
// remembered during the run, and a saved setup restored by --script.
#include "MainFormFixture.h"

#include "mainwindow/SetupFiles.h"
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

class Setups : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        setups = w->findChild<SetupFiles*>();
        ASSERT_NE(setups, nullptr);
        setups->setChooser([this](bool save, const QString& folder) {
            asked.push_back({save, folder});
            return chosen;
        });
    }
    QAction* item(const QString& text) {
        for (QAction* a : ui().MnuFile->actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    // Opens a file from the menu and waits until it has run.
    void openFromMenu(const QString& path) {
        chosen = path;
        QSignalSpy done(setups, &SetupFiles::finished);
        item("&Open Setup...")->trigger();
        ASSERT_TRUE(done.count() == 1 || done.wait(5000));
    }
    std::string state() {
        scpi::ChipInstrument instrument(chip);
        scpi::Session session(instrument);
        return session.execute("SYST:SET?").reply;
    }
    static QString write(const QString& path, const QByteArray& text) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    SetupFiles* setups = nullptr;
    QString chosen;
    std::vector<std::pair<bool, QString>> asked;
    QTemporaryDir dir;
};

TEST_F(Setups, TheItemsStandAboveExit) {
    QStringList texts;
    for (QAction* a : ui().MnuFile->actions()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"&Save Setup...", "&Open Setup...", "", "E&xit"}));
}

TEST_F(Setups, SaveWritesAVersionLineThenTheSetupCommands) {
    typeInto(ui().Text1, "12.5");
    pressEnter();
    clickOn(ui().Command13);  // Sync Bit = 1
    chosen = dir.filePath("a.scpi");
    item("&Save Setup...")->trigger();
    QFile f(chosen);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString(f.readAll()).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("# QZ4471 setup, saved by version " + QCoreApplication::applicationVersion()))
        << lines[0].toStdString();
    EXPECT_EQ(lines.last(), "");
    EXPECT_EQ(lines.mid(1, lines.size() - 2).join(";:").toStdString(), state());
    EXPECT_TRUE(lines.contains("FREQ0:WORD #H40000000"));
    EXPECT_TRUE(notices.empty());
}

TEST_F(Setups, OpenRestoresASavedSetupWithTheWordsOfItsCommands) {
    typeInto(ui().Text2, "3");
    pressEnter();
    typeInto(ui().Text5, "291");
    pressEnter();
    const std::string saved = state();
    chosen = dir.filePath("b.scpi");
    item("&Save Setup...")->trigger();
    clickOn(ui().Command15);  // Initialise
    ASSERT_NE(state(), saved);
    wire.clear();
    openFromMenu(chosen);
    EXPECT_EQ(state(), saved);
    EXPECT_EQ(ui().Label12->text(), "0F5C28F6");  // the window follows
    EXPECT_EQ(ui().Text5->text(), "291");
    const std::vector<uint16_t> got = words(), phase2 = {0x1C23, 0x0D01};  // PHASE2 = 291
    EXPECT_NE(std::search(got.begin(), got.end(), phase2.begin(), phase2.end()), got.end()) << hexWords(got);
    EXPECT_TRUE(notices.empty());
}

// Every sweep setting of both groups and the keying's come back from a file,
// one command a line, each line within the 4096 bytes a script line may hold.
TEST_F(Setups, SweepAndKeyingSettingsComeBackWhole) {
    scpi::ChipInstrument instrument(chip);
    scpi::Session session(instrument);
    ASSERT_TRUE(session.execute("SWE1:SPAC LOG;DIR UDOW;POIN 55;STAR 1.5MHZ;STOP 20MHZ;LOOP 3;DEL 2.5;"
                                ":SWE0:DIR UDOW;STEP 0.25MHZ;:MOD:TYPE BPSK;PATT \"0110\";RATE 250;COUN 12")
                    .errors.empty());
    const char* query = "SWE0:SPAC?;DIR?;STAR?;STOP?;STEP?;POIN?;LOOP?;DEL?;:SWE1:SPAC?;DIR?;STAR?;STOP?;STEP?;POIN?;"
                        "LOOP?;DEL?;:MOD:TYPE?;PATT?;RATE?;COUN?";
    const std::string saved = session.execute(query).reply;
    chosen = dir.filePath("kinds.scpi");
    item("&Save Setup...")->trigger();
    session.execute("*RST");
    ASSERT_NE(session.execute(query).reply, saved);
    openFromMenu(chosen);
    EXPECT_EQ(session.execute(query).reply, saved);
    EXPECT_TRUE(notices.empty());
    QFile f(chosen);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_TRUE(lines.contains("SWE1:SPAC LOG") && lines.contains("SWE1:POIN 55"));
    for (const QByteArray& line : lines) EXPECT_FALSE(line.contains(";:")) << "one command a line: " << line.toStdString();
}

TEST_F(Setups, FailingLinesShowInOneBoxAndTheRestIsApplied) {
    const QString path = write(dir.filePath("c.scpi"), "# mine\nFREQ0 1MHZ\nBOGUS\nPHAS1 5000\nPHAS2 7\nFREQ1?\n");
    openFromMenu(path);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, path + ":3: -113,\"Undefined header\"\n" + path + ":4: -222,\"Data out of range\"");
    EXPECT_EQ(ui().Text5->text(), "7");
    EXPECT_EQ(ui().Label11->text(), "051EB852");
}

TEST_F(Setups, ACutLastLineIsNamedAndNotRun) {
    const QString path = write(dir.filePath("cut.scpi"), "FREQ1:WORD #H0F\nFREQ1:WORD #H0C");
    openFromMenu(path);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, path + ":2: ends without a line end: the file may be cut short; the line does not run");
    EXPECT_EQ(ui().Label12->text(), "0000000F");
}

// However many lines fail, the box holds the first few and a count of the rest.
TEST_F(Setups, ManyFailuresShowTheFirstAndHowManyMore) {
    QByteArray text;
    for (int i = 0; i < 500; ++i) text += "BOGUS\n";
    const QString path = write(dir.filePath("junk.scpi"), text);
    openFromMenu(path);
    ASSERT_EQ(notices.size(), 1u);
    const QStringList lines = notices[0].text.split('\n');
    ASSERT_EQ(lines.size(), SetupFiles::kShownFailures + 1);
    EXPECT_EQ(lines[0], path + ":1: -113,\"Undefined header\"");
    EXPECT_EQ(lines.last(), QString("and %1 more").arg(500 - SetupFiles::kShownFailures));
}

// A full disk: the old file stays as it was, and no half-written one is left.
TEST_F(Setups, AFailedSaveLeavesTheOldFileUntouched) {
    const QString path = write(dir.filePath("keep.scpi"), "FREQ0 1 MHZ\n");
    QString error;
    {
        FileSizeLimit full(16);
        error = setups->saveTo(path);
    }
    EXPECT_TRUE(error.startsWith("Cannot save the setup to " + path)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "FREQ0 1 MHZ\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.scpi"});
}

TEST_F(Setups, DialogsStartInTheFolderLastUsed) {
    const QString first = asked.empty() ? QString() : asked.back().second;
    QDir(dir.path()).mkdir("sub");
    chosen = dir.filePath("sub/d.scpi");
    item("&Save Setup...")->trigger();
    openFromMenu(chosen);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].second, QDir::currentPath());  // nothing is kept between runs
    EXPECT_EQ(asked[1], (std::pair<bool, QString>{false, dir.filePath("sub")}));
    EXPECT_TRUE(first.isEmpty());
}

// A saved setup given to --script at start-up brings a fresh program to it.
TEST_F(Setups, ScriptAtStartUpRestoresIt) {
    typeInto(ui().Text1, "7");
    pressEnter();
    clickOn(ui().Command11);  // SELSRC = 1
    clickOn(ui().Option2);    // FREQ1
    const std::string saved = state();
    chosen = dir.filePath("e.scpi");
    item("&Save Setup...")->trigger();
    QFile f(chosen);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("SYST:SET?\n");
    f.close();
    QProcess p;
    p.start(QZ4471_BINARY, {"--headless", "--port", "sim", "--script", chosen});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(p.readAllStandardOutput().toStdString(), saved + "\n");
}

}  // namespace
