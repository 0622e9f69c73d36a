#include "ScheduleLateness.h"

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <thread>
#include <time.h>

namespace timing {

std::vector<TracedWord> tracedWords(const std::string& path, const std::string& address) {
    std::ifstream in(path);
    std::vector<TracedWord> words;
    std::string line;
    std::vector<int> writes;
    double first = 0;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        double t;
        std::string kind, at, value;
        if (!(s >> t >> kind >> at >> value) || kind != "OUT" || at != address) continue;
        if (writes.empty()) first = t;
        writes.push_back(std::stoi(value, nullptr, 16));
        if (writes.size() < 52) continue;
        // Bit k (most significant first) is on the data pin while the clock is high.
        uint16_t word = 0;
        for (int k = 0; k < 16; ++k) word = static_cast<uint16_t>(word << 1 | ((writes[2 + 3 * k] >> 1) & 1));
        words.push_back({first, word});
        writes.clear();
    }
    return words;
}

std::vector<double> numberList(const std::string& text) {
    std::vector<double> numbers;
    std::stringstream s(text);
    for (std::string n; std::getline(s, n, ',');) numbers.push_back(std::atof(n.c_str()));
    return numbers;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(std::ceil(q * static_cast<double>(v.size()))) - 1];
}

Figures lateness(const std::vector<double>& times, const std::function<double(size_t)>& dueOf) {
    Figures f;
    std::vector<double> late;
    for (size_t k = 0; k < times.size(); ++k) late.push_back((times[k] - dueOf(k)) * 1e3);
    f.steps = times.size();
    if (times.size() >= 2) f.rate = static_cast<double>(times.size() - 1) / (times.back() - times.front());
    f.median = quantile(late, 0.5);
    f.p99 = quantile(late, 0.99);
    f.max = quantile(late, 1.0);
    return f;
}

Figures bareThread(double periodNs, int ticks) {
    std::vector<double> late;
    std::thread t([&] {
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        timespec start;
        clock_gettime(CLOCK_MONOTONIC, &start);
        for (int k = 1; k <= ticks; ++k) {
            const int64_t at = start.tv_sec * 1000000000LL + start.tv_nsec + std::llround(k * periodNs);
            const timespec due{static_cast<time_t>(at / 1000000000LL), static_cast<long>(at % 1000000000LL)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            late.push_back(((now.tv_sec - due.tv_sec) * 1e9 + (now.tv_nsec - due.tv_nsec)) / 1e6);
        }
    });
    t.join();
    Figures f;
    f.steps = late.size();
    f.median = quantile(late, 0.5);
    f.p99 = quantile(late, 0.99);
    return f;
}

bool goalMet(const Figures& f, const Figures& bare, double askedRate, size_t wanted) {
    const double off = (f.rate / askedRate - 1.0) * 100.0;
    return f.steps >= wanted && std::fabs(off) <= 0.1 && f.median <= 0.05 && f.p99 <= std::max(0.25, 3 * bare.p99);
}

}  // namespace timing
