// SCPI over loopback: query round trips per second (one FREQ0? at a time,
// each waiting for its reply), the same ping-pong against a minimal C line
// server as the reference (runs alternate; the ratio's median is the figure,
// goal >= 0.8), pipelined FREQ0 sets per second (all sent, then *OPC? waits
// for the last), and a second client's worst reply time while the first
// pipelines (goal <= 50 ms).
//   bench_scpi [--port N] [--runs R] [--queries Q] [--sets S]
// Without --port it serves the fake instrument itself; with --port it
// measures a program already serving there, e.g.
//   qz4471 --headless --port sim --scpi-port 5025 & bench_scpi --port 5025
#include "FakeInstrument.h"
#include "scpi/ScpiServer.h"

#include <QCoreApplication>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class Client {
public:
    explicit Client(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            std::perror("bench_scpi: connect");
            std::exit(1);
        }
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { ::close(fd_); }

    void send(const std::string& s) {
        for (size_t done = 0; done < s.size();) {
            const ssize_t n = ::send(fd_, s.data() + done, s.size() - done, MSG_NOSIGNAL);
            if (n <= 0) fail("send");
            done += static_cast<size_t>(n);
        }
    }
    std::string readLine() {
        for (;;) {
            if (const size_t nl = buf_.find('\n'); nl != std::string::npos) {
                std::string line = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return line;
            }
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) fail("recv");
            buf_.append(chunk, static_cast<size_t>(n));
        }
    }
    std::string ask(const std::string& line) {
        send(line + "\n");
        return readLine();
    }

private:
    [[noreturn]] static void fail(const char* what) {
        std::perror(what);
        std::exit(1);
    }
    int fd_;
    std::string buf_;
};

// The reference: the least a line server can do. One connection at a time,
// blocking reads, one fixed reply per line.
int referenceListen() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
        std::perror("bench_scpi: reference server");
        std::exit(1);
    }
    std::thread([fd] {
        for (;;) {
            const int c = ::accept(fd, nullptr, nullptr);
            if (c < 0) return;
            const int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            char buf[65536];
            ssize_t n;
            while ((n = ::recv(c, buf, sizeof buf, 0)) > 0)
                for (ssize_t i = 0; i < n; ++i)
                    if (buf[i] == '\n') ::send(c, "0.0000\n", 7, MSG_NOSIGNAL);
            ::close(c);
        }
    }).detach();
    return ntohs(at.sin_port);
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double queryRate(Client& c, int queries) {
    const auto t0 = Clock::now();
    for (int i = 0; i < queries; ++i) c.ask("FREQ0?");
    return queries / seconds(t0);
}

double setRate(Client& c, int sets) {
    std::string batch;
    for (int i = 0; i < sets; ++i) batch += "FREQ0 " + std::to_string(1000 + i % 1000000) + "\n";
    const auto t0 = Clock::now();
    c.send(batch);
    if (c.ask("*OPC?") != "1") std::exit(1);
    return sets / seconds(t0);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char* what, std::vector<double> rates, double goal) {
    std::sort(rates.begin(), rates.end());
    std::printf("%-28s median %9.0f/s  best %9.0f/s", what, rates[rates.size() / 2], rates.back());
    if (goal > 0) std::printf("  (goal %.0f/s)", goal);
    std::printf("\n");
}

// B's worst FREQ1? round trip (ms) while A pipelines `sets` FREQ0 lines.
double worstWhileBusy(int port, int sets) {
    Client a(port), b(port);
    std::string batch;
    for (int i = 0; i < sets; ++i) batch += "FREQ0 1000\n";
    std::thread sender([&] { a.send(batch + "*OPC?\n"); });
    double worst = 0;
    for (int i = 0; i < 20; ++i) {
        const auto t0 = Clock::now();
        b.ask("FREQ1?");
        worst = std::max(worst, seconds(t0) * 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sender.join();
    a.readLine();
    return worst;
}

int measure(int port, int runs, int queries, int sets) {
    Client c(port);
    std::printf("instrument: %s\n", c.ask("*IDN?").c_str());
    c.ask("*CLS;*OPC?");
    const int reference = referenceListen();
    Client ref(reference);
    std::vector<double> q, refq, ratio, s;
    for (int r = 0; r < runs; ++r) {
        q.push_back(queryRate(c, queries));
        refq.push_back(queryRate(ref, queries));
        ratio.push_back(q.back() / refq.back());
        s.push_back(setRate(c, sets));
    }
    report("query round trips (FREQ0?)", q, 5000);
    report("reference C line server", refq, 0);
    std::printf("%-28s median %9.2f     (goal >= 0.80; runs", "ping-pong ratio to reference", median(ratio));
    for (double x : ratio) std::printf(" %.2f", x);
    std::printf(")\n");
    report("pipelined FREQ0 sets", s, 20000);
    std::vector<double> worst;
    for (int r = 0; r < 3; ++r) worst.push_back(worstWhileBusy(port, 200000));
    std::printf("%-28s median %9.1f ms  (goal <= 50 ms, while another client pipelines 200000 lines)\n",
                "second client's worst reply", median(worst));
    const std::string errors = c.ask("SYST:ERR:COUN?");
    if (errors != "0") std::printf("errors queued: %s\n", errors.c_str());
    return errors == "0" ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int port = -1, runs = 5, queries = 20000, sets = 100000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int v = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--port")) port = v;
        else if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, v);
        else if (!std::strcmp(argv[i], "--queries")) queries = std::max(1, v);
        else if (!std::strcmp(argv[i], "--sets")) sets = std::max(1, v);
    }
    if (port >= 0) return measure(port, runs, queries, sets);

    // Serve the fake on this thread's event loop, measure from another.
    QCoreApplication app(argc, argv);
    FakeInstrument fake;
    scpi::ScpiServer server(fake);
    if (!server.listen(0)) return 1;
    int status = 0;
    std::thread client([&] {
        status = measure(server.port(), runs, queries, sets);
        QMetaObject::invokeMethod(&app, [&] { app.quit(); });
    });
    app.exec();
    client.join();
    return status;
}
