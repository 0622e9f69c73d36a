#include "app/Automation.h"

#include "discovery/Announcer.h"
#include "scpi/ScpiServer.h"
#include "scpi/ScriptRunner.h"
#include "startup/ExitStatus.h"
#include "vxi11/Registration.h"
#include "vxi11/Vxi11Server.h"

#include <QCoreApplication>
#include <QTimer>

#include <QHostAddress>

#include <iostream>
#include <optional>
#include <sstream>

namespace {
// "0.0.0.0" takes IPv4 clients; "::" both kinds (IPv4 ones as ::ffff:a.b.c.d).
QHostAddress listenAddress(const std::string& text) {
    if (text == "0.0.0.0") return QHostAddress::AnyIPv4;
    if (text == "::") return QHostAddress::Any;
    return QHostAddress(QString::fromStdString(text));
}
}  // namespace

Automation::Automation(const CommandLineOptions& options, control::ChipControl& chip)
    : options_(options), chip_(chip), instrument_(chip) {
    connect(&chip_, &control::ChipControl::sweepingChanged, this, &Automation::maybeEnd);
    connect(&chip_, &control::ChipControl::keyingRunningChanged, this, &Automation::maybeEnd);
    connect(&chip_, &control::ChipControl::listRunningChanged, this, &Automation::maybeEnd);
}

Automation::~Automation() { stop(); }

void Automation::stop() {
    if (registration_) registration_->release();
    if (announcer_) announcer_->stop();
}

// Only a server the network can reach is announced, on mDNS through avahi-daemon.
void Automation::startDiscovery() {
    const QHostAddress address = listenAddress(options_.listen);
    if (options_.listen.empty() || address.isLoopback()) return;
    const scpi::Instrument::Identity id = instrument_.identity();
    const discovery::Identity who{id.maker, "QZ4471", id.backend, id.version};
    announcer_ = std::make_unique<discovery::Announcer>();
    const bool ipv4Only = address.protocol() == QAbstractSocket::IPv4Protocol;
    if (!announcer_->start(discovery::instanceName(who), discovery::services(server_->port(), vxi11_ != nullptr),
                           discovery::txtRecord(who), ipv4Only)) {
        std::cerr << "qz4471: DNS-SD off: " << announcer_->why() << std::endl;
        announcer_.reset();
    }
}

// VXI-11 on the same address as the raw socket, on free ports, once rpcbind
// has taken this program's entry; else one line says why not.
void Automation::startVxi11() {
    const QHostAddress address = options_.listen.empty() ? QHostAddress(QHostAddress::LocalHost)
                                                         : listenAddress(options_.listen);
    auto server = std::make_unique<vxi11::Vxi11Server>(instrument_, lock_, allow_ ? &*allow_ : nullptr);
    if (!server->listen(address)) {
        std::cerr << "qz4471: VXI-11 off: " << server->errorString().toStdString() << std::endl;
        return;
    }
    registration_ = std::make_unique<vxi11::Registration>();
    if (!registration_->take(server->corePort())) {
        std::cerr << "qz4471: VXI-11 off: " << registration_->why() << std::endl;
        registration_.reset();
        return;
    }
    std::cerr << "qz4471: VXI-11 on core port " << server->corePort() << ", registered with rpcbind" << std::endl;
    vxi11_ = std::move(server);
}

bool Automation::start() {
    if (options_.scpi) {
        server_ = std::make_unique<scpi::ScpiServer>(instrument_);
        server_->setLock(lock_);
        std::ostringstream announce;
        bool listening = false;
        if (options_.listen.empty()) {
            listening = server_->listen(static_cast<quint16>(options_.scpiPort), announce);
        } else {
            // Checked by the command line; none: loopback's 127.0.0.1 and ::1 only.
            allow_ = options_.allow.empty() ? netaccess::AllowList() : *netaccess::AllowList::parse(options_.allow);
            listening = server_->listenOn(listenAddress(options_.listen), static_cast<quint16>(options_.scpiPort),
                                          *allow_, announce);
        }
        if (!listening) {
            std::cerr << "qz4471: no SCPI server on port " << options_.scpiPort << ": "
                      << server_->errorString().toStdString() << std::endl;
            return false;
        }
        startVxi11();
        std::cerr << announce.str() << std::flush;
        startDiscovery();
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
// without a count keys until the program is stopped, and a list runs until
// stopped, or waits for triggers no script can still send); with windows the
// user ends the program.
void Automation::maybeEnd() {
    if (!options_.headless || server_ || !scriptDone_) return;
    if (chip_.sweeping(0) || chip_.sweeping(1) || chip_.keyingRunning()) return;
    if (chip_.listRunning() && !chip_.listWaiting()) return;
    QCoreApplication::exit(status_);
}
