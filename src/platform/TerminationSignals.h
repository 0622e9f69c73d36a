#pragma once
// SIGTERM, SIGINT and SIGHUP end the program like Quit does (exit hooks run,
// trace files are complete), with status 128 + the signal number. The ending
// runs on the Qt event loop; the handler itself only writes to a pipe.
namespace platform {

class ProgramEnd;

// Call once, after the QApplication exists; `end` ends the program. Later
// calls change nothing.
void installTerminationSignals(ProgramEnd& end);

}  // namespace platform
