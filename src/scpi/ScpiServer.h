#pragma once
// The SCPI server: raw-socket SCPI over TCP, on the loopback addresses unless
// told to listen on another address, and then to the allowed clients only. Each connection has its own
// session, error queue and status registers; all commands run on the thread
// of the event loop. Connections are served in turn, a bounded number of
// lines each, so one client's batch never starves another. A client that
// ends its input (half-close) still gets every reply before the server closes.
#include "netaccess/AllowList.h"
#include "scpi/Instrument.h"
#include "scpi/InstrumentLock.h"

#include <QObject>
#include <QString>

#include <iostream>
#include <list>
#include <memory>

class QTcpServer;
class QHostAddress;

namespace scpi {

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 5025;
    static constexpr int kMaxClients = 8;                 // open connections; a ninth is closed at once
    static constexpr qint64 kMaxUnreadReplies = 1 << 20;  // bytes; a client past this is dropped
    static constexpr int kLinesPerTurn = 32;              // lines of one client before the next is served
    static constexpr size_t kMaxQueuedLines = 256;        // lines read ahead of the one running

    explicit ScpiServer(Instrument& instrument, QObject* parent = nullptr);
    ~ScpiServer() override;

    // Listens on 127.0.0.1 and, where the machine has IPv6, on ::1 at the same
    // port (0: a free one), then writes "qz4471: SCPI on 127.0.0.1:PORT" to
    // `announce`. False, with errorString(), when 127.0.0.1 cannot be had.
    bool listen(quint16 port, std::ostream& announce = std::cerr);
    // Listens on `address` only (0.0.0.0, ::, an interface's address), and
    // serves only the clients `allow` lets in; the list must outlive the server.
    bool listenOn(const QHostAddress& address, quint16 port, const netaccess::AllowList& allow,
                  std::ostream& announce = std::cerr);
    // While a VXI-11 link holds the lock, lines wait.
    void setLock(InstrumentLock& lock);
    quint16 port() const;
    bool listensOnIPv6() const;
    QString errorString() const { return error_; }
    // Connections still open.
    int clientCount() const;

private:
    struct Client;
    class Listener;
    bool bindBoth(quint16 port);
    void accept(int fd);
    void readFrom(Client& c);
    // Runs up to kLinesPerTurn of the client's lines; true when more are ready.
    bool serve(Client& c);
    void flush(Client& c);
    void close(Client& c);
    void schedule();
    void turn();

    Instrument& instrument_;
    InstrumentLock* lock_ = nullptr;
    const netaccess::AllowList* allow_ = nullptr;
    netaccess::RefusalLog refusals_;
    std::unique_ptr<QTcpServer> v4_, v6_;
    std::list<std::unique_ptr<Client>> clients_;
    QString error_;
    bool scheduled_ = false;
};

}  // namespace scpi
