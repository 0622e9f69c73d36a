// Words per second through SendWord into the simulated board, by the same
// path the program uses: the port's lock, WritePort, the ownership check, the
// board's wire decoder.
#include "board/SimulatedBoard.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/ProgramClock.h"
#include "portlib/TracePort.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

namespace {

void runWords(benchmark::State& state, portlib::Parllio& port, SimulatedBoard* board) {
    Transmitter tx(port);
    uint16_t word = 0;
    for (auto _ : state) {
        tx.SendWord(SimulatedBoard::kBase, word);
        word = static_cast<uint16_t>(word * 33 + 0x3052);  // vary the bits
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["words_decoded"] = static_cast<double>(board->words());
    if (board->words() != static_cast<uint64_t>(state.iterations()) || board->framingErrors() != 0)
        state.SkipWithError("the board did not decode every word");
}

void BM_SendWordToSimulatedBoard(benchmark::State& state) {
    auto board = std::make_unique<SimulatedBoard>();
    SimulatedBoard* b = board.get();
    portlib::Parllio port;
    port.setBackend(std::move(board));
    runWords(state, port, b);
}
BENCHMARK(BM_SendWordToSimulatedBoard);

// The same with every operation traced to a file, as with --trace.
void BM_SendWordTraced(benchmark::State& state) {
    auto board = std::make_unique<SimulatedBoard>();
    SimulatedBoard* b = board.get();
    char path[] = "/tmp/bench_transmitter_trace_XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) ::close(fd);
    const portlib::ProgramClock clock;
    {
        portlib::Parllio port;
        port.setBackend(std::make_unique<TracePort>(std::move(board), path, clock.clock()));
        runWords(state, port, b);
    }
    std::remove(path);
}
BENCHMARK(BM_SendWordTraced);

}  // namespace

BENCHMARK_MAIN();
