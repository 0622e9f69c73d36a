#include "app/Automation.h"

#include "scpi/ScpiServer.h"
#include "scpi/ScriptRunner.h"
#include "startup/ExitStatus.h"

#include <QCoreApplication>
#include <QTimer>

#include <iostream>

Automation::Automation(const CommandLineOptions& options, control::ChipControl& chip)
    : options_(options), chip_(chip), instrument_(chip) {
    connect(&chip_.sweeps(), &SweepEngine::sweepingChanged, this, &Automation::maybeEnd);
    connect(&chip_.keying(), &Keyer::runningChanged, this, &Automation::maybeEnd);
}

Automation::~Automation() = default;

bool Automation::start() {
    if (options_.scpi) {
        server_ = std::make_unique<scpi::ScpiServer>(instrument_);
        if (!server_->listen(static_cast<quint16>(options_.scpiPort))) {
            std::cerr << "qz4471: no SCPI server on port " << options_.scpiPort << ": "
                      << server_->errorString().toStdString() << std::endl;
            return false;
        }
    }
    if (!options_.scriptPath.empty()) {
        scriptDone_ = false;
        script_ = std::make_unique<scpi::ScriptRunner>(instrument_, options_.scriptPath);
        connect(script_.get(), &scpi::ScriptRunner::finished, this, [this](bool failed) {
            scriptDone_ = true;
            status_ = script_->unreadable() ? exitstatus::kScriptUnreadable
                      : failed              ? exitstatus::kScriptLineFailed
                                            : exitstatus::kOk;
            maybeEnd();
        });
        QTimer::singleShot(0, script_.get(), [this] { script_->start(); });
    } else {
        QTimer::singleShot(0, this, &Automation::maybeEnd);
    }
    return true;
}

// Headless runs end by themselves when nothing is left to do (a keying
// without a count keys until the program is stopped); with windows the user
// ends the program.
void Automation::maybeEnd() {
    if (!options_.headless || server_ || !scriptDone_) return;
    if (chip_.sweeps().sweeping(0) || chip_.sweeps().sweeping(1) || chip_.keying().running()) return;
    QCoreApplication::exit(status_);
}
