#pragma once
// Lateness against an absolute schedule, read from a trace file: the trace
// time of a word's first write minus its due time. Beside it, what a bare
// thread sleeping to the same kind of schedule gets from the machine.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace timing {

struct Figures {
    size_t steps = 0;
    double rate = 0, median = 0, p99 = 0, max = 0;  // steps/s; lateness in ms
};

// One word on the wire: the trace time (s) of its first write and its value.
struct TracedWord {
    double time;
    uint16_t word;
};
// The words written to `address` ("0x0378"), 52 writes each.
std::vector<TracedWord> tracedWords(const std::string& path, const std::string& address = "0x0378");

// "1000,5000" as numbers, for the benches' list options.
std::vector<double> numberList(const std::string& text);

double quantile(std::vector<double> v, double q);
// times[k] against dueOf(k), both in seconds.
Figures lateness(const std::vector<double>& times, const std::function<double(size_t)>& dueOf);
// A bare thread on an absolute schedule of `periodNs`, `ticks` times.
Figures bareThread(double periodNs, int ticks);

// The goal: median <= 0.05 ms, p99 <= max(0.25 ms, 3 x the bare p99), rate within 0.1 %.
bool goalMet(const Figures& f, const Figures& bare, double askedRate, size_t wanted);

}  // namespace timing
