#include "scpi/ScpiServer.h"

#include "scpi/LineFramer.h"
#include "scpi/Session.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace scpi {

struct ScpiServer::Client {
    Client(ScpiServer& server, QTcpSocket* s)
        : socket(s),
          session(server.instrument_),
          framer({[this, &server](std::string_view line) { server.runLine(*this, line); },
                  [this] { session.report(Outcome::error(TooMuchData)); }}) {}

    std::unique_ptr<QTcpSocket> socket;
    Session session;
    LineFramer framer;
    bool gone = false;  // disconnected or dropped; removed from the event loop's next turn
};

ScpiServer::ScpiServer(Instrument& instrument, QObject* parent) : QObject(parent), instrument_(instrument) {}

ScpiServer::~ScpiServer() {
    for (auto& c : clients_) c->socket->disconnect(this);
}

bool ScpiServer::bindBoth(quint16 port) {
    v4_ = std::make_unique<QTcpServer>();
    v6_.reset();
    if (!v4_->listen(QHostAddress::LocalHost, port)) {
        error_ = v4_->errorString();
        v4_.reset();
        return false;
    }
    auto v6 = std::make_unique<QTcpServer>();
    if (v6->listen(QHostAddress::LocalHostIPv6, v4_->serverPort())) {
        v6_ = std::move(v6);
    } else if (port == 0 && v6->serverError() == QAbstractSocket::AddressInUseError) {
        error_ = v6->errorString();  // the free IPv4 port is taken on ::1: try another
        v4_.reset();
        return false;
    }
    return true;  // no IPv6 on this machine, or ::1 unavailable: IPv4 only
}

bool ScpiServer::listen(quint16 requested, std::ostream& announce) {
    bool bound = false;
    for (int attempt = 0; attempt < 16 && !bound; ++attempt) {
        bound = bindBoth(requested);
        if (!bound && requested != 0) break;
    }
    if (!bound) return false;
    for (QTcpServer* s : {v4_.get(), v6_.get()}) {
        if (!s) continue;
        s->setMaxPendingConnections(kMaxClients + 1);
        connect(s, &QTcpServer::newConnection, this, [this, s] { acceptFrom(s); });
    }
    announce << "qz4471: SCPI on 127.0.0.1:" << port() << std::endl;
    return true;
}

quint16 ScpiServer::port() const { return v4_ ? v4_->serverPort() : 0; }

bool ScpiServer::listensOnIPv6() const { return v6_ != nullptr; }

int ScpiServer::clientCount() const {
    int n = 0;
    for (const auto& c : clients_) n += c->gone ? 0 : 1;
    return n;
}

void ScpiServer::acceptFrom(QTcpServer* server) {
    while (QTcpSocket* s = server->nextPendingConnection()) {
        if (clientCount() >= kMaxClients) {
            s->abort();
            s->deleteLater();
            continue;
        }
        s->setParent(nullptr);
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        clients_.push_back(std::make_unique<Client>(*this, s));
        Client* c = clients_.back().get();
        connect(s, &QTcpSocket::readyRead, this, [this, c] { readFrom(*c); });
        connect(s, &QTcpSocket::disconnected, this, [this, c] { drop(*c); });
        if (s->bytesAvailable() > 0) readFrom(*c);
    }
}

void ScpiServer::readFrom(Client& c) {
    while (!c.gone && c.socket->bytesAvailable() > 0) {
        const QByteArray bytes = c.socket->read(64 * 1024);
        c.framer.feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    }
}

void ScpiServer::runLine(Client& c, std::string_view line) {
    const LineResult r = c.session.execute(line);
    if (!r.replied || c.gone) return;
    c.socket->write(r.reply.data(), static_cast<qint64>(r.reply.size()));
    c.socket->write("\n", 1);
    if (c.socket->bytesToWrite() > kMaxUnreadReplies) drop(c);
}

void ScpiServer::drop(Client& c) {
    if (c.gone) return;
    c.gone = true;
    c.framer.stop();
    c.socket->disconnect(this);
    c.socket->abort();
    // The client may be in the middle of its own callbacks: remove it later.
    QMetaObject::invokeMethod(
        this,
        [this, client = &c] {
            clients_.remove_if([client](const std::unique_ptr<Client>& p) { return p.get() == client; });
        },
        Qt::QueuedConnection);
}

}  // namespace scpi
