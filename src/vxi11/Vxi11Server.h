#pragma once
// A VXI-11 instrument server (the VXI-11 standard's core and abort channels)
// on the program's own sockets, so that a call can be answered later: a
// device_read behind *WAI, a call waiting for another link's lock, while the
// abort channel and other connections are still served. Each link is a
// session like a raw-socket connection (own error queue and status
// registers). Everything runs on the thread of the event loop.
#include "netaccess/AllowList.h"
#include "scpi/Instrument.h"
#include "scpi/InstrumentLock.h"

#include <QObject>
#include <QString>

#include <list>
#include <map>
#include <memory>
#include <string>

class QTcpServer;
class QHostAddress;

namespace vxi11 {

class Vxi11Server : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLinks = 8;
    static constexpr uint32_t kMaxRecvSize = 64 * 1024;    // bytes a device_write may carry
    static constexpr size_t kMaxMessage = 1 << 20;         // a message buffered until END
    static constexpr size_t kMaxRecord = 2 * kMaxRecvSize; // an RPC record

    // allow: who may connect; nullptr: loopback clients only.
    Vxi11Server(scpi::Instrument& instrument, scpi::InstrumentLock& lock, const netaccess::AllowList* allow,
                QObject* parent = nullptr);
    ~Vxi11Server() override;

    // Core and abort channels on free ports of `address`; false with errorString().
    bool listen(const QHostAddress& address);
    quint16 corePort() const;
    quint16 abortPort() const;
    QString errorString() const { return error_; }
    int linkCount() const { return static_cast<int>(links_.size()); }

private:
    struct Connection;
    struct Link;
    struct Call;
    class Listener;
    void accept(int fd, bool abortChannel);
    void readFrom(Connection& c);
    void onRecord(Connection& c, std::string record);
    void nextCall(Connection& c);
    // Answers the call now, or leaves it waiting; true when answered.
    bool attempt(Call& call, bool expired);
    void answer(Call& call, std::string results);
    void retryWaiting();
    void abortCall(Connection& c, std::string_view args, uint32_t xid);
    void send(Connection& c, const std::string& record);
    void flush(Connection& c);
    void close(Connection& c);
    void destroyLink(int lid);
    // Runs the link's lines that can run; their replies queue as output.
    void pump(Link& link);

    scpi::Instrument& instrument_;
    scpi::InstrumentLock& lock_;
    const netaccess::AllowList* allow_;
    netaccess::RefusalLog refusals_;
    std::unique_ptr<QTcpServer> core_, abort_;
    std::list<std::unique_ptr<Connection>> connections_;
    std::map<int, std::unique_ptr<Link>> links_;
    int lastLink_ = 0;
    QString error_;
};

}  // namespace vxi11
