// The real program, run as a user runs it: its command line, the start-up
// words in the trace and the waveform, and a trace that is complete and
// current however the program ends.
#include "Version.h"
#include "board/WireDecoder.h"
#include "support/WireHarness.h"

#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <sys/resource.h>

namespace {

struct Trace {
    QStringList lines;
    std::vector<uint8_t> dataWrites;  // bytes written to 0x0378
    int firstControlLine = -1;
};

Trace readTrace(const QString& path) {
    Trace t;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return t;
    t.lines = QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 0; i < t.lines.size(); ++i) {
        const QStringList parts = t.lines[i].split(' ');
        if (parts.size() != 4) continue;
        if (parts[2] == "0x037A" && t.firstControlLine < 0) t.firstControlLine = i;
        if (parts[1] == "OUT" && parts[2] == "0x0378") t.dataWrites.push_back(uint8_t(parts[3].toUInt(nullptr, 16)));
    }
    return t;
}

class Program : public ::testing::Test {
protected:
    // usb: the pretend devices on the stand-in libusb the program runs on, so
    // no test takes a real adapter (see support/fakeusb/FakeUsb.h).
    void start(const QStringList& args, const QByteArray& winver = {}, const QByteArray& usb = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LD_PRELOAD", QZ_FAKEUSB_LIBRARY);
        env.insert("QZ_FAKEUSB", usb);
        // The sanitizer runtime need not come first when a library is preloaded.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        if (!winver.isEmpty()) env.insert("QZ4471_WINVER", winver);
        else env.remove("QZ4471_WINVER");
        proc.setProcessEnvironment(env);
        proc.start(QZ4471_BINARY, args);
        ASSERT_TRUE(proc.waitForStarted(10000));
    }
    // Waits while the program runs until its trace holds `words` words.
    Trace waitForWords(size_t words) {
        QElapsedTimer t;
        t.start();
        Trace trace;
        while (t.elapsed() < 10000) {
            trace = readTrace(tracePath());
            if (decodeWire(trace.dataWrites).words.size() >= words) break;
            QTest::qWait(50);
        }
        return trace;
    }
    int stop(int signo) {
        ::kill(static_cast<pid_t>(proc.processId()), signo);
        EXPECT_TRUE(proc.waitForFinished(10000));
        return proc.exitCode();
    }
    QString tracePath() const { return dir.filePath("run.trace"); }

    QTemporaryDir dir;
    QProcess proc;
};

}  // namespace

TEST_F(Program, BadOptionsStopBeforeAnyWindow) {
    struct { QStringList args; int status; QString out; const char* err; } cases[] = {
        {{"--bogus"}, 2, "", "usage"},
        {{"--port"}, 2, "", "usage"},
        {{"--board-clock", "fast"}, 2, "", "usage"},
        {{"stray"}, 2, "", "usage"},
        {{"--version"}, 0, QString("qz4471 %1\n").arg(qz::kVersion), ""},
        {{"--help"}, 0, "--trace", ""},
    };
    for (auto& c : cases) {
        start(c.args);
        ASSERT_TRUE(proc.waitForFinished(10000));
        EXPECT_EQ(proc.exitCode(), c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(QString(proc.readAllStandardOutput()).contains(c.out)) << c.args.join(' ').toStdString();
        EXPECT_TRUE(QString(proc.readAllStandardError()).toLower().contains(c.err)) << c.args.join(' ').toStdString();
    }
}

TEST_F(Program, ClaimPathTraceIsCurrentWhileRunningAndCompleteAfterSigterm) {
    start({"--port", "sim", "--no-monitor", "--trace", tracePath()});
    // Without any flush from us the start-up words reach the file while the program runs.
    const Trace running = waitForWords(3);
    EXPECT_EQ(hexWords(decodeWire(running.dataWrites).words), hexWords({0xD800, 0xC000, 0x8000}));
    EXPECT_EQ(stop(SIGTERM), 128 + SIGTERM);

    const Trace t = readTrace(tracePath());
    static const QRegularExpression line(R"(^\d+\.\d{9} (OUT|IN) 0x[0-9A-F]{4} 0x[0-9A-F]{2}$)");
    for (const QString& l : t.lines) EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
    ASSERT_EQ(t.lines.size(), 3 * 52 + 2);
    // On this path the main window loads, and sends, before the control register is prepared.
    EXPECT_EQ(t.firstControlLine, 3 * 52);
    EXPECT_TRUE(t.lines[3 * 52].endsWith("IN 0x037A 0xCC"));
    EXPECT_TRUE(t.lines[3 * 52 + 1].endsWith("OUT 0x037A 0xC4"));
}

TEST_F(Program, DirectPathPreparesTheControlRegisterFirst) {
    start({"--port", "sim", "--no-monitor", "--trace", tracePath(), "/ss"}, "1 4 10");
    // "/ss" shows the status box, which waits for OK; the words come after it.
    // The trace is current while the box is up, so the control register shows.
    QElapsedTimer waited;
    waited.start();
    while (readTrace(tracePath()).lines.size() < 2 && waited.elapsed() < 10000) QTest::qWait(50);
    EXPECT_EQ(stop(SIGTERM), 128 + SIGTERM);
    const Trace t = readTrace(tracePath());
    ASSERT_GE(t.lines.size(), 2);
    EXPECT_EQ(t.firstControlLine, 0);
    EXPECT_TRUE(t.dataWrites.empty());
}

TEST_F(Program, SlashSSInsideAnOptionValueShowsNoStatusBox) {
    // On the direct path the status box would hold back the start-up words.
    const QString trace = dir.filePath("SS/run.trace");
    ASSERT_TRUE(QDir(dir.path()).mkpath("SS"));
    start({"--port", "sim", "--no-monitor", "--trace", trace}, "1 4 10");
    QElapsedTimer waited;
    waited.start();
    while (decodeWire(readTrace(trace).dataWrites).words.size() < 3 && waited.elapsed() < 10000) QTest::qWait(50);
    EXPECT_EQ(stop(SIGTERM), 128 + SIGTERM);
    EXPECT_EQ(hexWords(decodeWire(readTrace(trace).dataWrites).words), hexWords({0xD800, 0xC000, 0x8000}));
}

TEST_F(Program, WaveformDecodesWithSigrok) {
    const QString vcd = dir.filePath("run.vcd");
    start({"--port", "sim", "--no-monitor", "--trace", tracePath(), "--vcd", vcd});
    waitForWords(3);
    EXPECT_EQ(stop(SIGINT), 128 + SIGINT);
    QProcess sigrok;
    sigrok.start("sigrok-cli", {"-I", "vcd", "-i", vcd, "-P",
                                "spi:clk=clk:mosi=data:cs=frame:cs_polarity=active-low:cpol=0:cpha=1:wordsize=16:"
                                "bitorder=msb-first",
                                "-A", "spi=mosi-data"});
    ASSERT_TRUE(sigrok.waitForFinished(60000));
    const QString out = sigrok.readAllStandardOutput();
    QStringList words;
    for (const QString& l : out.split('\n', Qt::SkipEmptyParts)) words << l.section(':', -1).trimmed().toUpper();
    EXPECT_EQ(words, (QStringList{"D800", "C000", "8000"})) << out.toStdString();
}

TEST_F(Program, AnAdapterThatIsNotThereIsNamedOnStderrAndTheProgramGoesOn) {
    struct { const char* port; const char* says; } cases[] = {
        {"ftdi", "qz4471: no FTDI adapter found (looked for USB vendor 0x0403"},
        {"gpio:qz-no-such-chip:17,27,22", "qz4471: no GPIO chip 'qz-no-such-chip'"},
    };
    for (auto& c : cases) {
        start({"--port", c.port});
        QString err;
        QElapsedTimer waited;
        waited.start();
        while (!err.contains(c.says) && waited.elapsed() < 10000) {
            proc.waitForReadyRead(100);
            err += QString::fromLocal8Bit(proc.readAllStandardError());
        }
        EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
        QTest::qWait(300);
        EXPECT_EQ(proc.state(), QProcess::Running) << c.port;
        EXPECT_EQ(stop(SIGTERM), 128 + SIGTERM);
    }
}

// Headless, a port named on the command line that cannot be claimed ends the
// run before any script line, with one line saying which port and why.
// Each kind of failure has its own status; of two, the higher wins.
TEST_F(Program, EachFailureEndsWithItsOwnStatus) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    const auto file = [this](const char* name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    };
    const QString good = file("good.scpi", "FREQ0 1 MHZ\n"), bad = file("bad.scpi", "BOGUS\n");
    struct { QStringList args; int status; QStringList says; } cases[] = {
        {{"--script", good}, 0, {}},
        {{"--script", file("cut.scpi", "FREQ0 1 MHZ\nFREQ1:WORD #H0C")}, 1,
         {"cut.scpi:2: ends without a line end: the file may be cut short"}},
        {{"--script", "/dev/zero"}, 1, {"/dev/zero:1: holds a NUL byte: not a text file"}},
        {{"--script", dir.filePath("missing.scpi")}, 4, {"cannot read script"}},
        {{"--scpi-port", QString::number(taken.serverPort())}, 5, {"no SCPI server on port"}},
        {{"--trace", "/dev/full", "--script", good}, 6, {"qz4471: trace incomplete: cannot write /dev/full"}},
        {{"--vcd", "/dev/full", "--script", good}, 6, {"qz4471: waveform incomplete: cannot write /dev/full"}},
        {{"--trace", "/dev/full", "--script", bad}, 6, {"-113", "trace incomplete"}},
    };
    for (auto& c : cases) {
        start(QStringList{"--headless", "--port", "sim"} + c.args);
        ASSERT_TRUE(proc.waitForFinished(10000)) << c.args.join(' ').toStdString();
        const QString err = QString::fromLocal8Bit(proc.readAllStandardError());
        EXPECT_EQ(proc.exitCode(), c.status) << c.args.join(' ').toStdString() << "\n" << err.toStdString();
        for (const QString& s : c.says) EXPECT_TRUE(err.contains(s)) << err.toStdString();
        EXPECT_LE(err.count("incomplete"), 1) << "said once: " << err.toStdString();
    }
}

// A disk that fills up in the middle of a line: the trace ends at its last
// whole line, the script still runs to its end, and the status says so.
TEST_F(Program, AFullDiskEndsTheTraceAtItsLastCompleteLine) {
    proc.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    start({"--headless", "--port", "sim", "--trace", tracePath(), "--script", "-"});
    proc.write("FREQ0 1 MHZ\nFREQ1 2 MHZ\nFREQ0?\n");
    proc.closeWriteChannel();
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitCode(), 6);
    EXPECT_EQ(proc.readAllStandardOutput(), "1000000.0009\n");
    QFile f(tracePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_LE(text.size(), 1000);
    EXPECT_TRUE(text.endsWith('\n'));
    const QRegularExpression line(R"(^\d+\.\d{9} (OUT|IN) 0x[0-9A-F]{4} 0x[0-9A-F]{2}$)");
    for (const QString& l : QString::fromLatin1(text).split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
}

TEST_F(Program, HeadlessWithANamedPortThatCannotBeClaimedEndsWithStatusThree) {
    struct { QString port; int status; const char* says; } cases[] = {
        {"/dev/parport7", 3, "cannot open /dev/parport7"},
        {"ftdi", 3, "no FTDI adapter found"},
        {"gpio:qz-no-such-chip:1,2,3", 3, "no GPIO chip 'qz-no-such-chip'"},
        {"sim", 0, ""},
    };
    for (auto& c : cases) {
        if (c.port.startsWith("/dev/") && QFile::exists(c.port)) continue;  // a machine that has one
        start({"--headless", "--port", c.port, "--trace", tracePath(), "--script", "-"});
        proc.write("FREQ0 1 MHZ\nFREQ0?\n");
        proc.closeWriteChannel();
        ASSERT_TRUE(proc.waitForFinished(10000)) << c.port.toStdString();
        EXPECT_EQ(proc.exitCode(), c.status) << c.port.toStdString();
        const QString out = QString::fromLocal8Bit(proc.readAllStandardOutput());
        const QStringList err = QString::fromLocal8Bit(proc.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        if (c.status == 0) {
            EXPECT_EQ(out, "1000000.0009\n");
            continue;
        }
        EXPECT_TRUE(out.isEmpty()) << "no script line ran: " << out.toStdString();
        ASSERT_EQ(err.size(), 1) << err.join('|').toStdString();
        EXPECT_TRUE(err[0].startsWith("qz4471: port " + c.port + " cannot be used: ")) << err[0].toStdString();
        EXPECT_TRUE(err[0].contains(c.says)) << err[0].toStdString();
        EXPECT_TRUE(decodeWire(readTrace(tracePath()).dataWrites).words.empty()) << "nothing was sent";
    }
}

namespace {

TEST_F(Program, ListPortsNamesEachAdapterWithItsPortValueAndExits) {
    start({"--list-ports"}, {}, "0403:6014:FT5ABC:1:2:4;0781:5581:4C53:1:1:3;0403:6001::2:1.4:9");
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(proc.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QStringList usb;
    for (const QString& l : lines)
        if (l.startsWith("ftdi:")) usb << l.simplified();
    EXPECT_EQ(usb, (QStringList{"ftdi:s:0x0403:0x6014:FT5ABC FTDI FT232H, serial FT5ABC, USB port 1-2",
                                "ftdi:d:002/009 FTDI FT232R, no serial, USB port 2-1.4"}));
    EXPECT_FALSE(lines.join('\n').contains("5581")) << "a USB disk is no port";
}

// Exit, Quit and signals send nothing more: the chip keeps its last keyed state.
TEST_F(Program, EndingTheProgramWhileItKeysSendsNoEndWords) {
    start({"--headless", "--port", "sim", "--trace", tracePath(), "--script", "-"});
    proc.write("MOD:TYPE FSK;PATT \"01\";RATE 200;COUN INF;STAT ON\n");
    waitForWords(40);  // the start-up's few and the keyed ones
    EXPECT_EQ(proc.state(), QProcess::Running) << "a keying without a count keys on";
    stop(SIGTERM);
    const std::vector<uint16_t> words = decodeWire(readTrace(tracePath()).dataWrites).words;
    const auto raised = std::find(words.begin(), words.end(), 0x9000);
    ASSERT_NE(raised, words.end());
    std::vector<uint16_t> keyed(raised + 1, words.end());
    ASSERT_GE(keyed.size(), 10u);
    for (size_t i = 0; i < keyed.size(); ++i) EXPECT_EQ(keyed[i], i % 2 ? 0x5800 : 0x5000) << "word " << i;
}

}  // namespace
