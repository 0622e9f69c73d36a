#include "scpi/ScpiServer.h"

#include "scpi/LineFramer.h"
#include "scpi/Session.h"

#include <QSocketNotifier>
#include <QTcpServer>

#include <cerrno>
#include <iostream>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scpi {

namespace {
constexpr size_t kReadChunk = 64 * 1024;
}

// Hands each accepted connection over as a plain descriptor.
class ScpiServer::Listener : public QTcpServer {
public:
    explicit Listener(ScpiServer& server) : server_(server) {}

protected:
    void incomingConnection(qintptr fd) override { server_.accept(static_cast<int>(fd)); }

private:
    ScpiServer& server_;
};

struct ScpiServer::Client {
    struct Line {
        std::string text;
        bool tooLong = false;
    };
    Client(ScpiServer& server, int fd_)
        : fd(fd_),
          session(server.instrument_),
          framer({[this](std::string_view line) { lines.push_back({std::string(line), false}); },
                  [this] { lines.push_back({{}, true}); }}),
          reading(fd_, QSocketNotifier::Read),
          writing(fd_, QSocketNotifier::Write) {
        writing.setEnabled(false);
    }
    ~Client() {
        if (fd >= 0) ::close(fd);
    }

    int fd;
    Session session;
    LineFramer framer;
    std::deque<Line> lines;
    std::string out;
    size_t sent = 0;  // bytes of `out` already written
    QSocketNotifier reading, writing;
    bool inputEnded = false;  // the client sent all it will send
    bool gone = false;        // closed; removed from the event loop's next turn
};

ScpiServer::ScpiServer(Instrument& instrument, QObject* parent) : QObject(parent), instrument_(instrument) {}

ScpiServer::~ScpiServer() = default;

bool ScpiServer::bindBoth(quint16 port) {
    v4_ = std::make_unique<Listener>(*this);
    v6_.reset();
    if (!v4_->listen(QHostAddress::LocalHost, port)) {
        error_ = v4_->errorString();
        v4_.reset();
        return false;
    }
    std::unique_ptr<QTcpServer> v6 = std::make_unique<Listener>(*this);
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
    announce << "qz4471: SCPI on 127.0.0.1:" << port() << std::endl;
    return true;
}

bool ScpiServer::listenOn(const QHostAddress& address, quint16 port, const netaccess::AllowList& allow,
                          std::ostream& announce) {
    allow_ = &allow;
    v4_ = std::make_unique<Listener>(*this);
    v6_.reset();
    if (!v4_->listen(address, port)) {
        error_ = v4_->errorString();
        v4_.reset();
        return false;
    }
    const bool any = address == QHostAddress::Any;  // "::", which takes IPv4 clients too
    announce << "qz4471: SCPI on " << (any ? std::string("::") : address.toString().toStdString()) << ":" << this->port()
             << std::endl;
    return true;
}

void ScpiServer::setLock(InstrumentLock& lock) {
    lock_ = &lock;
    lock.onRelease([this] { schedule(); });
}

quint16 ScpiServer::port() const { return v4_ ? v4_->serverPort() : 0; }

bool ScpiServer::listensOnIPv6() const { return v6_ != nullptr; }

int ScpiServer::clientCount() const {
    int n = 0;
    for (const auto& c : clients_) n += c->gone ? 0 : 1;
    return n;
}

void ScpiServer::accept(int fd) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    std::optional<netaccess::Address> from;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0)
        from = netaccess::fromSockaddr(reinterpret_cast<sockaddr*>(&peer));
    if (!from || (allow_ && !allow_->allows(*from))) {
        if (from && refusals_.shouldSay(*from, netaccess::RefusalLog::Clock::now()))
            std::cerr << "qz4471: SCPI refused " << from->text() << ": not in --allow" << std::endl;
        ::close(fd);
        return;
    }
    if (clientCount() >= kMaxClients) {
        // Clients that have gone may not have been noticed yet: read what is
        // pending from each first, so only open connections count.
        for (auto& c : clients_)
            for (int i = 0; i < 8 && !c->gone && !c->inputEnded; ++i) readFrom(*c);
    }
    if (clientCount() >= kMaxClients) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clients_.push_back(std::make_unique<Client>(*this, fd));
    Client* c = clients_.back().get();
    c->session.setRemote(!netaccess::isLocalClient(*from));
    c->session.onReady([this] { schedule(); });
    connect(&c->reading, &QSocketNotifier::activated, this, [this, c] { readFrom(*c); });
    connect(&c->writing, &QSocketNotifier::activated, this, [this, c] { flush(*c); });
}

void ScpiServer::readFrom(Client& c) {
    if (c.gone || c.inputEnded) return;
    if (c.lines.size() < kMaxQueuedLines) {
        char buf[kReadChunk];
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.framer.feed(std::string_view(buf, static_cast<size_t>(n)));
        } else if (n == 0) {
            // End of input: the lines that arrived run, every reply goes out,
            // then the close. A last line cut off without its '\n' is dropped:
            // the client may have died in the middle of it.
            c.inputEnded = true;
            c.reading.setEnabled(false);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            close(c);
            return;
        }
    }
    if (serve(c)) schedule();
}

bool ScpiServer::serve(Client& c) {
    const bool locked = lock_ && lock_->heldByOther(0);
    for (int budget = locked ? 0 : kLinesPerTurn; budget > 0 && !c.gone; --budget) {
        LineResult r;
        if (c.session.held()) {
            if (!c.session.ready()) break;
            r = c.session.resume();
        } else if (!c.lines.empty()) {
            Client::Line line = std::move(c.lines.front());
            c.lines.pop_front();
            if (line.tooLong) {
                c.session.report(Outcome::error(InputBufferOverrun));
                continue;
            }
            r = c.session.execute(line.text);
        } else {
            break;
        }
        if (r.replied && !r.held) {
            c.out += r.reply;
            c.out += '\n';
        }
    }
    flush(c);
    if (c.gone) return false;
    const bool waiting = c.session.held() && !c.session.ready();
    // Read ahead again once the queue has room; the kernel holds the rest meanwhile.
    c.reading.setEnabled(!c.inputEnded && c.lines.size() < kMaxQueuedLines && !waiting);
    if (c.inputEnded && c.lines.empty() && !c.session.held() && c.sent == c.out.size()) close(c);
    return !c.gone && !waiting && !locked && !c.lines.empty();
}

void ScpiServer::flush(Client& c) {
    while (!c.gone && c.sent < c.out.size()) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else if (!(n < 0 && errno == EINTR)) {
            close(c);  // the client is gone
            return;
        }
    }
    if (c.gone) return;
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
    } else if (static_cast<qint64>(c.out.size() - c.sent) > kMaxUnreadReplies) {
        close(c);  // it does not read its replies
        return;
    }
    c.writing.setEnabled(c.sent < c.out.size());
    if (c.inputEnded && c.out.empty() && c.lines.empty() && !c.session.held()) close(c);
}

void ScpiServer::close(Client& c) {
    if (c.gone) return;
    c.gone = true;
    c.framer.stop();
    c.reading.setEnabled(false);
    c.writing.setEnabled(false);
    ::close(c.fd);
    c.fd = -1;
    // The client may be in the middle of its own callbacks: remove it later.
    QMetaObject::invokeMethod(
        this,
        [this, client = &c] {
            clients_.remove_if([client](const std::unique_ptr<Client>& p) { return p.get() == client; });
        },
        Qt::QueuedConnection);
}

void ScpiServer::schedule() {
    if (scheduled_) return;
    scheduled_ = true;
    QMetaObject::invokeMethod(this, &ScpiServer::turn, Qt::QueuedConnection);
}

// One turn: every client with lines ready runs a bounded number of them.
void ScpiServer::turn() {
    scheduled_ = false;
    bool more = false;
    for (auto& c : clients_)
        if (!c->gone && serve(*c)) more = true;
    if (more) schedule();
}

}  // namespace scpi
