// Hop-list timing on the simulated board, measured from a trace file as
// lateness against the schedule: the trace time of each row's select word's
// first write minus its due time (start + the dwells before it). Each row's
// four load words go out between the select words, so the port carries five
// words a row. Beside it, a bare thread's wake-up lateness on a schedule of
// the same mean period, in the same run.
//   bench_list_timing [--rows N] [--dwells 1,0.5] [--keep-trace DIR] [--monitor]
// --dwells: milliseconds, repeated over the rows (1 ms by default).
// --monitor opens the Board Monitor and keeps it painting; run it under Xvfb
// with a window manager to measure real painting.
// The goal: p99 <= max(0.25 ms, 3 x the bare p99), every row's select word
// in place.
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

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double start = 0;              // row 0's due time on the program clock, s
    std::vector<double> offsets;   // row k's due time after row 0's, s
};

Run runOnce(size_t rows, const std::vector<double>& dwellsMs, const std::string& path, bool withMonitor,
            const portlib::ProgramClock& clock, Clock::time_point origin) {
    auto board = std::make_unique<SimulatedBoard>();
    SimulatedBoard* sim = board.get();
    portlib::Parllio port;
    port.setBackend(std::make_unique<TracePort>(std::move(board), path, clock.clock()));
    port.setPortAddress(SimulatedBoard::kBase);
    Transmitter tx(port);
    control::ChipControl chip(tx);
    chip.startUp();

    std::unique_ptr<BoardMonitor> monitor;
    if (withMonitor) monitor.reset(openBoardMonitor(attachChipModel(*sim), nullptr));
    QCoreApplication::processEvents();  // first paint and font loading before the clock starts

    std::vector<double> hz(rows), dwell(rows);
    for (size_t k = 0; k < rows; ++k) {
        hz[k] = 1e6 + static_cast<double>(k % 1000) * 1e4;
        dwell[k] = dwellsMs[k % dwellsMs.size()] / 1e3;
    }
    chip.setListFrequencies(hz, false);
    chip.setListDwells(dwell, false);
    chip.setListCount(1);
    const control::Outcome r = chip.startList();
    if (!r.ok()) {
        std::fprintf(stderr, "list refused: %s\n", r.conflict.c_str());
        std::exit(2);
    }
    Run run;
    run.start = std::chrono::duration<double>(chip.listStartedAt() - origin).count();
    for (size_t k = 0; k < rows; ++k) run.offsets.push_back(static_cast<double>(chip.listOffsetNs(k)) / 1e9);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!chip.listRunning()) loop.quit();
    });
    poll.start(5);
    loop.exec();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point origin = Clock::now();
    const portlib::ProgramClock clock;  // its origin is within a microsecond of `origin`
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    size_t rows = 5000;
    bool withMonitor = false;
    std::vector<double> dwellsMs = {1};
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--monitor") withMonitor = true;
        else if (a == "--rows" && i + 1 < argc) rows = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--dwells" && i + 1 < argc) dwellsMs = timing::numberList(argv[++i]);
        else if (a == "--keep-trace" && i + 1 < argc) keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--rows N] [--dwells 1,0.5] [--keep-trace DIR] [--monitor]\n", argv[0]);
            return 2;
        }
    }
    if (rows < 2 || dwellsMs.empty()) return 2;
    QApplication app(argc, argv);

    const std::string path = (keep.empty() ? std::string("/tmp") : keep) + "/list-timing-" +
                             std::to_string(getpid()) + ".trace";
    const double meanMs = std::accumulate(dwellsMs.begin(), dwellsMs.end(), 0.0) / static_cast<double>(dwellsMs.size());
    const timing::Figures bare = timing::bareThread(meanMs * 1e6, static_cast<int>(rows));
    const Run run = runOnce(rows, dwellsMs, path, withMonitor, clock, origin);
    // The rows alternate between the registers: the k-th select word is row k's.
    std::vector<double> times;
    size_t misplaced = 0;
    int first = -1;
    for (const timing::TracedWord& w : timing::tracedWords(path)) {
        if ((w.word & 0xF000) != 0x5000) continue;
        const int reg = (w.word >> 11) & 1;
        if (first < 0) first = reg;
        if (reg != static_cast<int>((first + times.size()) % 2)) ++misplaced;
        times.push_back(w.time);
    }
    if (keep.empty()) std::remove(path.c_str());
    const timing::Figures f = timing::lateness(times, [&](size_t k) { return run.start + run.offsets[k]; });
    const bool ok = misplaced == 0 && times.size() == rows && f.p99 <= std::max(0.25, 3 * bare.p99);
    std::printf("list of %zu rows, dwells %s ms%s: %zu select words, %zu out of place, lateness median %.3f ms, "
                "p99 %.3f ms, max %.3f ms; bare thread p99 %.3f ms; %s\n",
                rows, [&] {
                    std::string s;
                    for (double d : dwellsMs) s += (s.empty() ? "" : ",") + std::to_string(d).substr(0, 5);
                    return s;
                }().c_str(),
                withMonitor ? " with the monitor" : "", times.size(), misplaced, f.median, f.p99, f.max, bare.p99,
                ok ? "goal met" : "goal MISSED");
    return ok ? 0 : 1;
}
