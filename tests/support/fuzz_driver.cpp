// Stands in for libFuzzer where the compiler has none: random texts over an
// alphabet, and mutations of known texts, for N seconds.
//   FUZZER SECONDS [CORPUS_DIR]
// Without a folder the texts are numbers; with one, its files are the known
// texts and their bytes, plus a few control and high bytes, the alphabet.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> readCorpus(const char* dir) {
    std::vector<std::string> texts;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        texts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return texts;
}

std::string alphabetOf(const std::vector<std::string>& texts) {
    std::set<char> chars = {'\0', '\n', '\r', '\t', '\x7f', '\x80', '\xff'};
    for (const auto& t : texts) chars.insert(t.begin(), t.end());
    return std::string(chars.begin(), chars.end());
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::string alphabet = "0123456789+-.eE \t,xabinfINF\x80\xff";
    std::vector<std::string> known = {"12.5", "-0.5", "1e38", "3.4028235e38", "1e-45", "  +7.  ",
                                      ".5e-3", "4095.7", "32767.5", "99.000000"};
    size_t maxRandom = 24;
    if (argc > 2) {
        known = readCorpus(argv[2]);
        if (known.empty()) {
            std::fprintf(stderr, "no texts in %s\n", argv[2]);
            return 1;
        }
        alphabet = alphabetOf(known);
        maxRandom = 96;
    }
    std::mt19937_64 rng(20261207);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    uint64_t runs = 0;
    std::string s;
    while (std::chrono::steady_clock::now() < end) {
        for (int batch = 0; batch < 1000; ++batch, ++runs) {
            if (rng() % 2) {
                s.assign(rng() % maxRandom, ' ');
                for (char& c : s) c = alphabet[rng() % alphabet.size()];
            } else {
                s = known[rng() % known.size()];
                for (int m = rng() % 4; m >= 0; --m) {
                    const size_t at = s.empty() ? 0 : rng() % s.size();
                    if (rng() % 2 && !s.empty()) s[at] = alphabet[rng() % alphabet.size()];
                    else s.insert(s.begin() + at, alphabet[rng() % alphabet.size()]);
                }
            }
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
        }
    }
    std::printf("%llu runs without a crash\n", static_cast<unsigned long long>(runs));
    return 0;
}
