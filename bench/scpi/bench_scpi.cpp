// SCPI over loopback: query round trips per second (one FREQ0? at a time,
// each waiting for its reply) and pipelined FREQ0 sets per second (all sent,
// then *OPC? waits for the last).
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

void report(const char* what, std::vector<double> rates, double goal) {
    std::sort(rates.begin(), rates.end());
    std::printf("%-28s median %9.0f/s  best %9.0f/s  (goal %.0f/s)\n", what, rates[rates.size() / 2], rates.back(), goal);
}

int measure(int port, int runs, int queries, int sets) {
    Client c(port);
    std::printf("instrument: %s\n", c.ask("*IDN?").c_str());
    c.ask("*CLS;*OPC?");
    std::vector<double> q, s;
    for (int r = 0; r < runs; ++r) {
        q.push_back(queryRate(c, queries));
        s.push_back(setRate(c, sets));
    }
    report("query round trips (FREQ0?)", q, 5000);
    report("pipelined FREQ0 sets", s, 20000);
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
