#pragma once
// The SCPI server: raw-socket SCPI over TCP, on the loopback addresses only
// (remote use goes through an SSH tunnel). Each connection has its own
// session and error queue; all commands run on the thread of the event loop
// in the order their lines arrive, and replies go to the asker.
#include "scpi/Instrument.h"

#include <QObject>
#include <QString>

#include <iostream>
#include <list>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace scpi {

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 5025;
    static constexpr int kMaxClients = 8;                // a ninth is closed at once
    static constexpr qint64 kMaxUnreadReplies = 1 << 20;  // bytes; a client past this is dropped

    explicit ScpiServer(Instrument& instrument, QObject* parent = nullptr);
    ~ScpiServer() override;

    // Listens on 127.0.0.1 and, where the machine has IPv6, on ::1 at the same
    // port (0: a free one), then writes "qz4471: SCPI on 127.0.0.1:PORT" to
    // `announce`. False, with errorString(), when 127.0.0.1 cannot be had.
    bool listen(quint16 port, std::ostream& announce = std::cerr);
    quint16 port() const;
    bool listensOnIPv6() const;
    QString errorString() const { return error_; }
    int clientCount() const;

private:
    struct Client;
    bool bindBoth(quint16 port);
    void acceptFrom(QTcpServer* server);
    void readFrom(Client& client);
    void runLine(Client& client, std::string_view line);
    void drop(Client& client);

    Instrument& instrument_;
    std::unique_ptr<QTcpServer> v4_, v6_;
    std::list<std::unique_ptr<Client>> clients_;
    QString error_;
};

}  // namespace scpi
