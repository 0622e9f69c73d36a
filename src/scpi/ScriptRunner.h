#pragma once
// A script file, or standard input for "-", run through ScriptLines once the
// program has started. It is read a chunk at a time, only as its lines are
// wanted, so an endless input never fills the memory: a regular file from the
// event loop, anything else (a pipe, a terminal, a device) as its bytes
// arrive, so the event loop and the SCPI server keep going meanwhile.
#include "scpi/ScriptLines.h"

#include <QObject>

#include <iostream>
#include <memory>
#include <string>

class QSocketNotifier;

namespace scpi {

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    ScriptRunner(Instrument& instrument, std::string path, std::ostream& out = std::cout,
                 std::ostream& err = std::cerr, QObject* parent = nullptr);
    ~ScriptRunner() override;

    // Starts the run; finished() follows from the event loop, once the last
    // line has run (a *WAI may hold it until sweeps end).
    void start();
    bool done() const { return done_; }
    // Whether any line failed or the script could not be read.
    bool failed() const { return lines_.failed() || unreadable_; }
    // Whether the script could not be opened or read.
    bool unreadable() const { return unreadable_; }

signals:
    void finished(bool failed);

private:
    void want();
    void readChunk();
    void end();

    std::string path_;
    std::ostream& err_;
    ScriptLines lines_;
    int fd_ = -1;
    bool ownFd_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;  // a pipe, terminal or device
    bool readScheduled_ = false;
    bool unreadable_ = false;
    bool ended_ = false;
    bool done_ = false;
};

}  // namespace scpi
