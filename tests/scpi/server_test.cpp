// The server over real loopback sockets: where it listens, per-connection
// queues, and input that must not hurt it (long lines, binary, too many
// clients, a client that never reads).
#include "FakeInstrument.h"
#include "support/Wait.h"
#include "scpi/ScpiServer.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <random>
#include <sstream>

namespace {

class Server : public ::testing::Test {
protected:
    void SetUp() override {
        std::ostringstream announce;
        ASSERT_TRUE(server.listen(0, announce)) << server.errorString().toStdString();
        announced = announce.str();
    }

    std::unique_ptr<QTcpSocket> connectClient(const QHostAddress& to = QHostAddress::LocalHost) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(to, server.port());
        EXPECT_TRUE(QTest::qWaitFor([&] { return s->state() == QAbstractSocket::ConnectedState; }, 5000));
        return s;
    }

    // One line out, one reply line back ("" when none came within the time).
    static std::string ask(QTcpSocket& s, const QByteArray& line, int ms = 5000) {
        s.write(line + "\n");
        if (!waitUntil([&] { return s.canReadLine(); }, ms)) return "";
        return s.readLine().trimmed().toStdString();
    }

    FakeInstrument fake;
    scpi::ScpiServer server{fake};
    std::string announced;
};

TEST_F(Server, AnnouncesItsPortInOneLine) {
    EXPECT_NE(server.port(), 0);
    EXPECT_EQ(announced, "qz4471: SCPI on 127.0.0.1:" + std::to_string(server.port()) + "\n");
}

TEST_F(Server, APortInUseIsRefused) {
    scpi::ScpiServer second(fake);
    std::ostringstream announce;
    EXPECT_FALSE(second.listen(server.port(), announce));
    EXPECT_EQ(announce.str(), "");
    EXPECT_FALSE(second.errorString().isEmpty());
}

TEST_F(Server, AnswersOnLoopbackOnly) {
    auto c = connectClient();
    EXPECT_EQ(ask(*c, "*IDN?"), "Maker,QZ4471,sim,2.0.0");
    if (server.listensOnIPv6()) {
        auto c6 = connectClient(QHostAddress::LocalHostIPv6);
        EXPECT_EQ(ask(*c6, "*IDN?"), "Maker,QZ4471,sim,2.0.0");
    }
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.isLoopback() || a.isLinkLocal()) continue;
        QTcpSocket s;
        s.connectToHost(a, server.port());
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.state() == QAbstractSocket::UnconnectedState; }, 5000));
        EXPECT_NE(s.state(), QAbstractSocket::ConnectedState) << a.toString().toStdString();
    }
}

TEST_F(Server, EachConnectionHasItsOwnQueueAndReplies) {
    auto a = connectClient(), b = connectClient();
    a->write("FREQ 10\n");
    EXPECT_EQ(ask(*b, "FREQ0:WORD #H40000000;:FREQ0?"), "12500000.0000");
    EXPECT_EQ(ask(*b, "SYST:ERR?"), "0,\"No error\"");
    EXPECT_EQ(ask(*a, "SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(ask(*a, "FREQ0:WORD?"), "#H40000000");  // one instrument behind both
    EXPECT_EQ(a->bytesAvailable(), 0);
    EXPECT_EQ(b->bytesAvailable(), 0);
}

TEST_F(Server, ALongLineIsDroppedAndTheConnectionStaysUsable) {
    auto c = connectClient();
    c->write("WORD " + QByteArray(4091, '1') + "\r\n");  // 4096 bytes without "\r\n": still a line
    EXPECT_EQ(ask(*c, "SYST:ERR?"), "-222,\"Data out of range\"");
    c->write("WORD 1;" + QByteArray(2'000'000, ' ') + "WORD 2\n");
    EXPECT_EQ(ask(*c, "*IDN?"), "Maker,QZ4471,sim,2.0.0");
    EXPECT_EQ(ask(*c, "SYST:ERR?"), "-363,\"Input buffer overrun\"");
    EXPECT_EQ(ask(*c, "SYST:ERR?"), "0,\"No error\"");
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Server, BinaryInputReachesNothing) {
    auto c = connectClient();
    std::mt19937 rng(4471);
    QByteArray junk(256 * 1024, '\0');
    for (char& b : junk) b = static_cast<char>(rng() % 2 ? rng() : (rng() % 4 ? 0 : '\n'));
    c->write(junk);
    c->write("\n");
    EXPECT_EQ(ask(*c, "*IDN?", 20000), "Maker,QZ4471,sim,2.0.0");
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(ask(*c, "SYST:ERR:COUN?"), "20");
}

TEST_F(Server, ANinthClientIsClosedAtOnce) {
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 8; ++i) clients.push_back(connectClient());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 8; }, 5000));
    auto ninth = connectClient();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ninth->state() == QAbstractSocket::UnconnectedState; }, 5000));
    for (auto& c : clients) EXPECT_EQ(ask(*c, "*OPC?"), "1");
    clients.front()->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 7; }, 5000));
    auto another = connectClient();
    EXPECT_EQ(ask(*another, "*OPC?"), "1");
}

TEST_F(Server, AClientThatNeverReadsIsDropped) {
    // A plain socket with a small receive buffer, so the kernel holds little for it.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    auto polite = connectClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 2; }, 5000));

    // Asks for some 24 MB of replies, far beyond the kernel's buffers.
    const std::string line = "SYST:SET?" + QByteArray(";SET?").repeated(15).toStdString() + ";*OPC?\n";
    for (int i = 0; i < 10000 && server.clientCount() == 2;) {
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) ++i;
        else QTest::qWait(1);
        if (i % 50 == 0) QTest::qWait(0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 1; }, 10000));
    EXPECT_EQ(ask(*polite, "*IDN?"), "Maker,QZ4471,sim,2.0.0");
    ::close(fd);
}

TEST_F(Server, AClientLeavingMidLineLeavesNoTrace) {
    {
        auto c = connectClient();
        c->write("WORD 1\nWORD 2");  // no end of line: the half command never runs
        c->flush();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.calls.empty(); }, 5000));
        c->disconnectFromHost();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 0; }, 5000));
    EXPECT_EQ(fake.calls, std::vector<std::string>{"sendWord(1)"});
}

}  // namespace
