// One Board Monitor refresh during a fast sweep: the words of one 33 ms
// frame arrive, the window takes them in and repaints, with the word log
// already full: its length should not show in the cost.
#include "board/ChipModel.h"
#include "monitor/BoardMonitor.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

// 4000 words a second (a 1 ms sweep) for one refresh period.
constexpr int kWordsPerFrame = 4000 * BoardMonitor::kRefreshMs / 1000;

void BM_MonitorRefresh(benchmark::State& state) {
    auto model = std::make_shared<ChipModel>();
    for (std::size_t i = 0; i < ChipModel::kLogLength; ++i) model->applyWord(0x4000);
    BoardMonitor monitor(model);
    monitor.show();
    QCoreApplication::processEvents();
    uint16_t word = 0;
    for (auto _ : state) {
        for (int i = 0; i < kWordsPerFrame; ++i) model->applyWord(static_cast<uint16_t>(0x3000 | (word++ & 0x3FF)));
        monitor.refresh();
        // Layout and paint, as between two ticks of the refresh timer; views
        // that lay out on a zero timer paint only on a later turn.
        for (int turn = 0; turn < 3; ++turn) QCoreApplication::processEvents();
    }
    state.counters["log_rows"] = static_cast<double>(model->log().size());
}
BENCHMARK(BM_MonitorRefresh)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
