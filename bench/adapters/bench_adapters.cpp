// Words per second through the FTDI and GPIO back ends into fake libraries,
// by the program's own path: SendWord, WritePort, the library's ownership
// check, the back end. The fakes feed a wire decoder and keep no history; the
// pace is the chip's business, so nothing here waits for it.
#include "board/WireDecoder.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/ftdi/FtdiPort.h"
#include "portlib/gpio/GpioPort.h"
#include "support/FakePins.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint16_t kBase = 0x378;

void checkDecoded(benchmark::State& state, const WireDecoder& decoder, uint64_t words) {
    state.SetItemsProcessed(static_cast<int64_t>(words));
    state.counters["words_decoded"] = static_cast<double>(decoder.words());
    if (decoder.words() != words || decoder.framingErrors() != 0)
        state.SkipWithError("the pins did not carry every word");
}

// The port with its lines going nowhere, and its transmitter.
struct Rig {
    portlib::Parllio port{[](const std::string&) {}};
    Transmitter tx{port};
};

// wordsPerOperation 0: no operation scope, each word leaves when its frame ends.
void runFtdi(benchmark::State& state, int wordsPerOperation) {
    Rig rig;
    auto fake = std::make_shared<FakeFtdiState>();
    fake->attached = {{0x6014, "BENCH", 1, 2}};
    fake->keepTransfers = false;
    WireDecoder decoder;
    fake->onWrite = [&decoder](const uint8_t* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) decoder.feed(bytes[i]);
    };
    rig.port.setBackend(std::make_unique<FtdiPort>(std::make_unique<FakeFtdi>(fake), ""));
    rig.port.ClaimParallelPort(1, -1);
    const uint64_t openingTransfers = fake->transferCount;
    uint16_t word = 0;
    uint64_t words = 0;
    for (auto _ : state) {
        if (wordsPerOperation == 0) {
            rig.tx.SendWord(kBase, word);
            word = static_cast<uint16_t>(word * 33 + 0x3052);
            ++words;
            continue;
        }
        portlib::OperationScope op(rig.port);
        for (int i = 0; i < wordsPerOperation; ++i, ++words) {
            rig.tx.SendWord(kBase, word);
            word = static_cast<uint16_t>(word * 33 + 0x3052);
        }
        op.finish();
    }
    state.counters["transfers"] = static_cast<double>(fake->transferCount - openingTransfers);
    checkDecoded(state, decoder, words);
}

void BM_FtdiWordPerTransfer(benchmark::State& state) { runFtdi(state, 0); }
BENCHMARK(BM_FtdiWordPerTransfer);

// A frequency load: four words in one operation, one transfer.
void BM_FtdiFourWordOperation(benchmark::State& state) { runFtdi(state, 4); }
BENCHMARK(BM_FtdiFourWordOperation);

void BM_GpioWord(benchmark::State& state) {
    Rig rig;
    auto fake = std::make_shared<FakeGpioState>();
    fake->keepPins = false;
    rig.port.setBackend(
        std::make_unique<GpioPort>(std::make_unique<FakeGpio>(fake), *parseGpioWiring("gpiochip0:17,27,22")));
    rig.port.ClaimParallelPort(1, -1);
    uint16_t word = 0;
    for (auto _ : state) {
        rig.tx.SendWord(kBase, word);
        word = static_cast<uint16_t>(word * 33 + 0x3052);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["sets_per_word"] = static_cast<double>(fake->sets) / static_cast<double>(state.iterations());
    if (fake->sets != 52 * static_cast<uint64_t>(state.iterations())) state.SkipWithError("a write missed the lines");
}
BENCHMARK(BM_GpioWord);

}  // namespace

BENCHMARK_MAIN();
