// Keyed symbol timing on the simulated board, measured from a trace file as
// lateness against the schedule: the trace time of each select word's first
// write minus its symbol's due time (start + k / rate). FSK keys "01", so
// every symbol sends a word; a symbol skipped after a long stall misses the
// goal. Beside it, a bare thread's wake-up lateness on
// the same schedule, in the same run.
//   bench_keying_timing [--symbols N] [--rates 1000,5000] [--keep-trace DIR] [--monitor]
// --monitor opens the Board Monitor and keeps it painting; run it under Xvfb
// with a window manager to measure real painting.
// The goal at 1000 symbols/s: median <= 0.05 ms, p99 <= max(0.25 ms, 3 x the
// bare p99), rate within 0.1 %.
#include "board/ChipModel.h"
#include "board/SimulatedBoard.h"
#include "control/ChipControl.h"
#include "link/CommsFunctions.h"
#include "monitor/BoardMonitor.h"
#include "portlib/Parllio.h"
#include "portlib/ProgramClock.h"
#include "portlib/TracePort.h"
#include "ScheduleLateness.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double start = 0;  // symbol 0's due time on the program clock, s
    uint64_t symbols = 0;
};

Run keyOnce(double rate, uint64_t symbols, const std::string& path, bool withMonitor,
            const portlib::ProgramClock& clock, Clock::time_point origin) {
    auto board = std::make_unique<SimulatedBoard>();
    SimulatedBoard* sim = board.get();
    portlib::Parllio port;
    port.setBackend(std::make_unique<TracePort>(std::move(board), path, clock.clock()));
    port.setPortAddress(SimulatedBoard::kBase);
    Transmitter tx(port);
    control::ChipControl chip(tx);
    chip.startUp();
    chip.setSelsrc(true);  // the keying then sends only select words

    std::unique_ptr<BoardMonitor> monitor;
    if (withMonitor) monitor.reset(openBoardMonitor(attachChipModel(*sim), nullptr));
    QCoreApplication::processEvents();  // first paint and font loading before the clock starts

    chip.setKeyingType(keying::Type::FSK);
    chip.setKeyingPattern("01");
    if (!chip.setKeyingRate(rate)) {
        std::fprintf(stderr, "rate %.2f refused (limit %.2f)\n", rate, chip.maxKeyingRate());
        std::exit(2);
    }
    chip.setKeyingCount(symbols);
    chip.startKeying();
    const double start = std::chrono::duration<double>(chip.keyingStartedAt() - origin).count();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!chip.keyingRunning()) loop.quit();
    });
    poll.start(5);
    loop.exec();
    return {start, symbols};
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point origin = Clock::now();
    const portlib::ProgramClock clock;  // its origin is within a microsecond of `origin`
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    uint64_t symbols = 5000;
    bool withMonitor = false;
    std::vector<double> rates = {1000};
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--monitor") withMonitor = true;
        else if (a == "--symbols" && i + 1 < argc) symbols = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--rates" && i + 1 < argc) rates = timing::numberList(argv[++i]);
        else if (a == "--keep-trace" && i + 1 < argc) keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--symbols N] [--rates 1000,5000] [--keep-trace DIR] [--monitor]\n", argv[0]);
            return 2;
        }
    }
    QApplication app(argc, argv);

    int failed = 0;
    for (double rate : rates) {
        const std::string dir = keep.empty() ? "/tmp" : keep;
        const std::string path =
            dir + "/keying-timing-" + std::to_string(getpid()) + "-" + std::to_string(std::lround(rate)) + ".trace";
        const timing::Figures bare = timing::bareThread(1e9 / rate, static_cast<int>(symbols));
        const Run run = keyOnce(rate, symbols, path, withMonitor, clock, origin);
        // "01" sends a word every symbol: the k-th select word is symbol k's.
        // A stall too long to make up skips symbols, and then fewer words come.
        std::vector<double> times;
        size_t misplaced = 0;
        for (const timing::TracedWord& w : timing::tracedWords(path)) {
            if ((w.word & 0xF000) != 0x5000) continue;
            if (times.size() == run.symbols) break;  // the end word restores FREQ0
            if (((w.word >> 11) & 1) != times.size() % 2) ++misplaced;
            times.push_back(w.time);
        }
        const timing::Figures f =
            timing::lateness(times, [&](size_t k) { return run.start + static_cast<double>(k) / rate; });
        if (keep.empty()) std::remove(path.c_str());
        const double off = (f.rate / rate - 1.0) * 100.0;
        const bool ok = misplaced == 0 && timing::goalMet(f, bare, rate, run.symbols);
        const bool judged = std::fabs(rate - 1000) < 1e-9;
        if (judged) failed += !ok;
        std::printf("%.0f symbols/s%s: %zu words for %llu symbols, %zu out of place, rate %.3f/s (%+.3f %%), lateness "
                    "median %.3f ms, p99 %.3f ms, max %.3f ms; bare thread p99 %.3f ms; %s\n",
                    rate, withMonitor ? " with the monitor" : "", f.steps, static_cast<unsigned long long>(run.symbols),
                    misplaced, f.rate, off, f.median, f.p99, f.max,
                    bare.p99, ok ? "goal met" : judged ? "goal MISSED" : "goal not met at this rate");
    }
    return failed ? 1 : 0;
}
