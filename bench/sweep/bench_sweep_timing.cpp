// Sweep step timing on the simulated board, measured from a trace file:
// the first write of each register load is the moment of that step.
//   bench_sweep_timing [--ticks N] [--periods 1,10] [--keep-trace DIR] [--realtime] [--monitor]
// --realtime runs the program under SCHED_FIFO where allowed, to tell the
// design's jitter apart from other load on the machine. --monitor opens the
// Board Monitor on the board during each sweep, to compare its cost.
#include "board/ChipModel.h"
#include "board/SimulatedBoard.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/ProgramClock.h"
#include "portlib/TracePort.h"
#include "monitor/BoardMonitor.h"
#include "registers/Declare.h"
#include "sweep/Sweep.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sched.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWritesPerLoad = 4 * 52;  // four words of 52 writes each

struct Figures {
    double rate = 0, median = 0, p99 = 0;
    size_t intervals = 0;
};

// Times (s) of the first write of each load at the data register.
std::vector<double> loadTimes(const std::string& path) {
    std::ifstream in(path);
    std::vector<double> times;
    std::string line;
    long writes = 0;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        double t;
        std::string kind, address;
        if (!(s >> t >> kind >> address) || kind != "OUT" || address != "0x0378") continue;
        if (writes++ % kWritesPerLoad == 0) times.push_back(t);
    }
    return times;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(std::ceil(q * static_cast<double>(v.size()))) - 1];
}

Figures measure(const std::vector<double>& times, int ticks, int periodMs) {
    Figures f;
    const size_t loads = std::min(times.size(), static_cast<size_t>(ticks) + 1);
    if (loads < 2) return f;
    std::vector<double> dev;
    for (size_t i = 1; i < loads; ++i) dev.push_back(std::fabs((times[i] - times[i - 1]) * 1e3 - periodMs));
    f.intervals = loads - 1;
    f.rate = static_cast<double>(f.intervals) / (times[loads - 1] - times[0]);
    f.median = quantile(dev, 0.5);
    f.p99 = quantile(dev, 0.99);
    return f;
}

// Runs group 0 for `ticks` steps at `periodMs`, tracing to `path`.
void sweepOnce(int periodMs, int ticks, const std::string& path, bool withMonitor) {
    auto board = std::make_unique<SimulatedBoard>();
    SimulatedBoard* chip = board.get();
    portlib::setActiveBackend(std::make_unique<TracePort>(std::move(board), path));
    PortAddress = SimulatedBoard::kBase;

    Sweep w;
    w.show();
    std::unique_ptr<BoardMonitor> monitor;
    if (withMonitor) monitor.reset(openBoardMonitor(attachChipModel(*chip), nullptr));
    QCoreApplication::processEvents();  // first paint and font loading before the clock starts
    // One long loop: 25 MHz in 10000 steps outlasts any run here.
    const char* texts[] = {"0", "25", "0.0025", "1", nullptr};
    const std::string delay = std::to_string(periodMs);
    for (int n = 1; n <= 5; ++n)
        w.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n))
            ->setText(QString::fromStdString(n == 5 ? delay : texts[n - 1]));

    QEventLoop loop;
    const uint64_t target = 4 * (static_cast<uint64_t>(ticks) + 1);
    chip->addWordObserver([&](uint16_t) {
        if (chip->words() == target) QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    w.Command1_Click();
    loop.exec();
    w.Command2_Click();
    portlib::setActiveBackend(nullptr);  // flushes and closes the trace
}

}  // namespace

int main(int argc, char** argv) {
    portlib::markProgramStart();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int ticks = 2000;
    bool withMonitor = false;
    std::vector<int> periods = {1, 10};
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--monitor") withMonitor = true;
        else if (a == "--realtime") {
            sched_param p{};
            p.sched_priority = 10;
            if (sched_setscheduler(0, SCHED_FIFO, &p) != 0) std::perror("SCHED_FIFO");
        } else if (a == "--ticks" && i + 1 < argc) ticks = std::atoi(argv[++i]);
        else if (a == "--periods" && i + 1 < argc) {
            periods.clear();
            std::stringstream s(argv[++i]);
            for (std::string p; std::getline(s, p, ',');) periods.push_back(std::atoi(p.c_str()));
        } else if (a == "--keep-trace" && i + 1 < argc) keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--ticks N] [--periods 1,10] [--keep-trace DIR] [--realtime] [--monitor]\n", argv[0]);
            return 2;
        }
    }
    QApplication app(argc, argv);
    MaxFreq = 25;
    MinFreq = 0;

    int failed = 0;
    for (int period : periods) {
        const std::string dir = keep.empty() ? "/tmp" : keep;
        const std::string path = dir + "/sweep-timing-" + std::to_string(getpid()) + "-" + std::to_string(period) + ".trace";
        sweepOnce(period, ticks, path, withMonitor);
        const Figures f = measure(loadTimes(path), ticks, period);
        if (keep.empty()) std::remove(path.c_str());
        if (period == 0) {
            std::printf("period 0 ms: %zu steps, rate %.1f/s (as fast as the event loop turns)\n", f.intervals, f.rate);
            continue;
        }
        const double asked = 1000.0 / period;
        const double off = (f.rate / asked - 1.0) * 100.0;
        const bool ok = f.intervals == static_cast<size_t>(ticks) && std::fabs(off) <= 0.5 && f.median <= 0.05 &&
                        f.p99 <= 0.5;
        failed += !ok;
        std::printf("period %d ms: %zu intervals, rate %.1f/s (%+.2f %%), median %.3f ms, p99 %.3f ms  %s\n", period,
                    f.intervals, f.rate, off, f.median, f.p99, ok ? "ok" : "MISSED");
    }
    return failed ? 1 : 0;
}
