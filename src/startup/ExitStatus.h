#pragma once
// The program's exit statuses, one for each kind of failure. When failures of
// two kinds happen in one run the higher status wins: a signal's 128 + N over
// everything, an incomplete trace over a failing script line.
namespace exitstatus {

constexpr int kOk = 0;
constexpr int kScriptLineFailed = 1;  // a script line failed (also a line cut short, a file that is no text)
constexpr int kUsage = 2;             // a bad option or value; a trace or waveform file that cannot be created
constexpr int kPortUnusable = 3;      // headless, a port named with --port cannot be claimed
constexpr int kScriptUnreadable = 4;  // the script cannot be opened or read
constexpr int kScpiPortInUse = 5;     // the SCPI port cannot be had
constexpr int kTraceIncomplete = 6;   // a trace or waveform write failed; the file stops there

}  // namespace exitstatus
