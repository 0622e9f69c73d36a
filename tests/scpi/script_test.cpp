// Script files: skipped lines, replies on stdout, FILE:LINE errors on
// stderr, text that is cut short or no text at all, and the run as the
// program starts it (file, unreadable file, endless input).
#include "FakeInstrument.h"
#include "scpi/ScriptLines.h"
#include "scpi/ScriptRunner.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct ScriptRun {
    std::string out, err;
    bool failed;
    std::vector<std::string> calls;
};

ScriptRun runScript(const std::string& text) {
    FakeInstrument fake;
    std::ostringstream out, err;
    scpi::ScriptLines lines(fake, "setup.scpi", out, err);
    lines.feed(text);
    lines.finish();
    return {out.str(), err.str(), lines.failed(), fake.calls};
}

TEST(ScriptLines, SkipsBlankAndCommentLines) {
    const ScriptRun r = runScript("# a setup\n\n   \n  # indented comment\nWORD 1\r\n\t\nWORD 2\n");
    EXPECT_EQ(r.calls, (std::vector<std::string>{"sendWord(1)", "sendWord(2)"}));
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(r.failed);
}

TEST(ScriptLines, RepliesGoToStdoutOneLineEach) {
    const ScriptRun r = runScript("*IDN?\nFREQ0:WORD #H40000000;WORD?;:FREQ0?\nWORD 3\n");
    EXPECT_EQ(r.out, "Maker,QZ4471,sim,2.0.0\n#H40000000;12500000.0000\n");
}

TEST(ScriptLines, EachErrorNamesFileAndLine) {
    const ScriptRun r = runScript("WORD 1\n# comment\nFREQ 10\nWORD 70000;WORD 2;SEL:FREQ 1\nWORD 4\n");
    EXPECT_EQ(r.err,
              "setup.scpi:3: -113,\"Undefined header\"\n"
              "setup.scpi:4: -222,\"Data out of range\"\n"
              "setup.scpi:4: -221,\"Settings conflict;SELSRC is 0\"\n");
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.calls.back(), "sendWord(4)");  // the lines after a failure still run
}

TEST(ScriptLines, ALongLineIsAnInputOverrunAndCountsAsOneLine) {
    const ScriptRun r = runScript("WORD 1\nWORD " + std::string(5000, '1') + "\nWORD 2\nFREQ 1\n");
    EXPECT_EQ(r.err, "setup.scpi:2: -363,\"Input buffer overrun\"\nsetup.scpi:4: -113,\"Undefined header\"\n");
    EXPECT_EQ(r.calls, (std::vector<std::string>{"sendWord(1)", "sendWord(2)"}));
}

// Text read as a text file: what runs, and what each refusal says.
struct TextCase {
    const char* name;
    std::string text;
    std::vector<std::string> calls;
    std::string err;
};

class TextFiles : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextFiles, RunWhatIsWholeTextAndNameTheLineThatIsNot) {
    const TextCase& c = GetParam();
    const ScriptRun r = runScript(c.text);
    EXPECT_EQ(r.calls, c.calls);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.failed, !c.err.empty());
}

const std::string kCut = "setup.scpi:2: ends without a line end: the file may be cut short; the line does not run\n";
const std::string kNul = "setup.scpi:2: holds a NUL byte: not a text file; nothing more of it runs\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, TextFiles,
    ::testing::Values(
        TextCase{"CutInsideAValue", "WORD 1\nFREQ1:WORD #H0C", {"sendWord(1)"}, kCut},
        TextCase{"CutInsideAComment", "WORD 1\n# saved by", {"sendWord(1)"}, kCut},
        TextCase{"CutInsideALongLine", "WORD 1\n" + std::string(5000, '1'), {"sendWord(1)"}, kCut},
        TextCase{"ByteOrderMarkSkipped", "\xEF\xBB\xBFWORD 1\nWORD 2\n", {"sendWord(1)", "sendWord(2)"}, ""},
        TextCase{"MarkOnlyAtTheStart", "WORD 1\n\xEF\xBB\xBFWORD 2\n", {"sendWord(1)"},
                 "setup.scpi:2: -101,\"Invalid character\"\n"},
        TextCase{"NulEndsTheFile", std::string("WORD 1\nWORD 2\0\nWORD 3\n", 22), {"sendWord(1)"}, kNul},
        TextCase{"NulWithoutALineEnd", std::string("WORD 1\n\0\0\0", 10), {"sendWord(1)"}, kNul}),
    [](const auto& info) { return std::string(info.param.name); });

// The byte-order mark split across reads, as a pipe may hand it over.
TEST(ScriptLines, AByteOrderMarkInPiecesIsSkipped) {
    FakeInstrument fake;
    std::ostringstream out, err;
    scpi::ScriptLines lines(fake, "setup.scpi", out, err);
    for (const char* piece : {"\xEF", "\xBB", "\xBFWORD 1\n"}) lines.feed(piece);
    lines.finish();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"sendWord(1)"}));
    EXPECT_EQ(err.str(), "");
}

// Endless input: a device that never ends is read only as its lines are
// wanted, and refused at its first NUL byte.
TEST(ScriptRunner, AnEndlessBinaryInputEndsAtItsFirstNulByte) {
    for (const std::string path : {"/dev/zero", "/dev/urandom"}) {
        FakeInstrument fake;
        std::ostringstream out, err;
        scpi::ScriptRunner runner(fake, path, out, err);
        QSignalSpy finished(&runner, &scpi::ScriptRunner::finished);
        runner.start();
        ASSERT_TRUE(finished.wait(5000)) << path;
        EXPECT_TRUE(runner.failed());
        EXPECT_FALSE(runner.unreadable());
        EXPECT_NE(err.str().find(": holds a NUL byte: not a text file"), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find(": holds a NUL byte"), err.str().rfind(": holds a NUL byte")) << "one error";
    }
}

TEST(ScriptRunner, RunsAFileAndReportsTheEnd) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("s.scpi").toStdString();
    std::ofstream(path) << "CONT:SYNC ON\nCONT:SYNC?\nBOGUS\n";
    FakeInstrument fake;
    std::ostringstream out, err;
    scpi::ScriptRunner runner(fake, path, out, err);
    QSignalSpy finished(&runner, &scpi::ScriptRunner::finished);
    runner.start();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_TRUE(runner.done());
    EXPECT_EQ(out.str(), "1\n");
    EXPECT_EQ(err.str(), path + ":3: -113,\"Undefined header\"\n");
}

TEST(ScriptRunner, AnUnreadableFileFails) {
    FakeInstrument fake;
    std::ostringstream out, err;
    scpi::ScriptRunner runner(fake, "/nonexistent/s.scpi", out, err);
    QSignalSpy finished(&runner, &scpi::ScriptRunner::finished);
    runner.start();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(runner.unreadable());
    EXPECT_NE(err.str().find("qz4471: cannot read script /nonexistent/s.scpi"), std::string::npos) << err.str();
    EXPECT_TRUE(fake.calls.empty());
}

// Standard input as the program reads it: a pipe line by line, while it
// stays open; a redirected file at once.
TEST(ScriptRunner, StandardInputRunsAsLinesArrive) {
    QProcess p;
    p.start(SCPI_TEST_SERVER, {"--script", "-"});
    ASSERT_TRUE(p.waitForStarted(5000));
    p.write("*IDN?\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.canReadLine(); }, 5000));  // before the input ends
    EXPECT_EQ(p.readLine(), "Maker,QZ4471,sim,2.0.0\n");
    p.write("BOGUS\nWORD 1\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(p.readAllStandardError(), "<stdin>:2: -113,\"Undefined header\"\n");
}

TEST(ScriptRunner, RedirectedStandardInputRunsAtOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath("s.scpi");
    std::ofstream(path.toStdString()) << "# restore\nCONT:SELS ON;:SEL:PHAS 2;PHAS?\n";
    QProcess p;
    p.setStandardInputFile(path);
    p.start(SCPI_TEST_SERVER, {"--script", "-"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput(), "2\n");
    EXPECT_EQ(p.readAllStandardError(), "");
}

}  // namespace
