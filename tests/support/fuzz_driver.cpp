// Stands in for libFuzzer where the compiler has none: random texts over the
// number alphabet, and mutations of known texts, for N seconds.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const std::string alphabet = "0123456789+-.eE \t,xabinfINF\x80\xff";
    const std::vector<std::string> known = {"12.5", "-0.5", "1e38", "3.4028235e38", "1e-45", "  +7.  ",
                                            ".5e-3", "4095.7", "32767.5", "99.000000"};
    std::mt19937_64 rng(20261207);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    uint64_t runs = 0;
    std::string s;
    while (std::chrono::steady_clock::now() < end) {
        for (int batch = 0; batch < 1000; ++batch, ++runs) {
            if (rng() % 2) {
                s.assign(rng() % 24, ' ');
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
