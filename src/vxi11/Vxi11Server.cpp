#include "vxi11/Vxi11Server.h"

#include "scpi/LineFramer.h"
#include "scpi/Session.h"
#include "vxi11/Rpc.h"
#include "vxi11_rpc.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <iostream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vxi11 {

namespace {

// Device_ErrorCode values of the VXI-11 standard.
enum : int32_t {
    kNoError = 0, kSyntaxError = 1, kNotAccessible = 3, kInvalidLink = 4, kParameterError = 5,
    kNotSupported = 8, kOutOfResources = 9, kLocked = 11, kNoLockHeld = 12, kIoTimeout = 15, kAbort = 23,
};
constexpr int32_t kWaitLock = 1, kEnd = 8, kTermCharSet = 128;
constexpr int32_t kReasonRequestCount = 1, kReasonTermChar = 2, kReasonEnd = 4;
constexpr size_t kMaxUnreadOutput = 1 << 20;

// Decodes with an rpcgen routine, hands the value over, frees what XDR allocated.
template <class T, class Use>
bool decode(bool_t (*proc)(XDR*, T*), std::string_view bytes, Use&& use) {
    T value{};
    XDR x;
    xdrmem_create(&x, const_cast<char*>(bytes.data()), static_cast<u_int>(bytes.size()), XDR_DECODE);
    const bool ok = proc(&x, &value);
    if (ok) use(value);
    xdr_destroy(&x);
    xdr_free(reinterpret_cast<xdrproc_t>(proc), reinterpret_cast<char*>(&value));
    return ok;
}

template <class T>
std::string encode(bool_t (*proc)(XDR*, T*), T& value, size_t payload = 0) {
    std::string buf(64 + payload, '\0');
    XDR x;
    xdrmem_create(&x, buf.data(), static_cast<u_int>(buf.size()), XDR_ENCODE);
    proc(&x, &value);
    buf.resize(xdr_getpos(&x));
    xdr_destroy(&x);
    return buf;
}

std::string errorResult(int32_t error) {
    Device_Error e{error};
    return encode(&xdr_Device_Error, e);
}

}  // namespace

class Vxi11Server::Listener : public QTcpServer {
public:
    Listener(Vxi11Server& server, bool abortChannel) : server_(server), abort_(abortChannel) {}

protected:
    void incomingConnection(qintptr fd) override { server_.accept(static_cast<int>(fd), abort_); }

private:
    Vxi11Server& server_;
    bool abort_;
};

// A call's arguments, copied out of XDR so the call can wait.
struct Vxi11Server::Call {
    Connection* conn = nullptr;
    uint32_t xid = 0, procedure = 0;
    int32_t lid = 0, flags = 0;
    uint32_t requestSize = 0;
    char termChar = 0;
    bool lockDevice = false;
    std::string data;  // device_write's bytes, create_link's device name
    QDeadlineTimer lockDeadline, ioDeadline;
};

struct Vxi11Server::Connection {
    Connection(int fd_, bool abort)
        : fd(fd_),
          abortChannel(abort),
          reader(kMaxRecord, [this](std::string r) { records.push_back(std::move(r)); }),
          reading(fd_, QSocketNotifier::Read),
          writing(fd_, QSocketNotifier::Write) {
        writing.setEnabled(false);
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
    }
    ~Connection() {
        if (fd >= 0) ::close(fd);
    }
    int fd;
    bool abortChannel;
    bool remote = false;
    RecordReader reader;
    std::deque<std::string> records;
    std::unique_ptr<Call> waiting;  // a call answered later; the records behind it wait too
    QTimer timer;                   // for its deadline
    std::string out;
    size_t sent = 0;
    QSocketNotifier reading, writing;
    bool gone = false;
};

struct Vxi11Server::Link {
    struct Line {
        std::string text;
        bool tooLong = false;
    };
    Link(Vxi11Server& server, int id_, Connection* owner_)
        : id(id_),
          owner(owner_),
          session(server.instrument_),
          framer({[this](std::string_view l) { lines.push_back({std::string(l), false}); },
                  [this] { lines.push_back({{}, true}); }}) {}
    int id;
    Connection* owner;
    scpi::Session session;
    scpi::LineFramer framer;
    std::string message;  // written without END so far
    std::deque<Line> lines;
    std::deque<std::string> replies;  // each with its '\n'; the front partly read
    size_t readOffset = 0;
    size_t unread = 0;  // bytes
};

Vxi11Server::Vxi11Server(scpi::Instrument& instrument, scpi::InstrumentLock& lock, const netaccess::AllowList* allow,
                         QObject* parent)
    : QObject(parent), instrument_(instrument), lock_(lock), allow_(allow) {
    lock_.onRelease([this] {
        QMetaObject::invokeMethod(this, [this] {
            for (auto& [id, link] : links_) pump(*link);
            retryWaiting();
        }, Qt::QueuedConnection);
    });
}

Vxi11Server::~Vxi11Server() {
    links_.clear();
    connections_.clear();
}

bool Vxi11Server::listen(const QHostAddress& address) {
    core_ = std::make_unique<Listener>(*this, false);
    abort_ = std::make_unique<Listener>(*this, true);
    for (QTcpServer* s : {core_.get(), abort_.get()}) {
        if (!s->listen(address, 0)) {
            error_ = s->errorString();
            core_.reset();
            abort_.reset();
            return false;
        }
    }
    return true;
}

quint16 Vxi11Server::corePort() const { return core_ ? core_->serverPort() : 0; }
quint16 Vxi11Server::abortPort() const { return abort_ ? abort_->serverPort() : 0; }

void Vxi11Server::accept(int fd, bool abortChannel) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    std::optional<netaccess::Address> from;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0)
        from = netaccess::fromSockaddr(reinterpret_cast<sockaddr*>(&peer));
    const bool allowed = from && (allow_ ? allow_->allows(*from) : true);
    if (!allowed) {
        if (from && refusals_.shouldSay(*from, netaccess::RefusalLog::Clock::now()))
            std::cerr << "qz4471: VXI-11 refused " << from->text() << ": not in --allow" << std::endl;
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connections_.push_back(std::make_unique<Connection>(fd, abortChannel));
    Connection* c = connections_.back().get();
    c->remote = !netaccess::isLocalClient(*from);
    connect(&c->reading, &QSocketNotifier::activated, this, [this, c] { readFrom(*c); });
    connect(&c->writing, &QSocketNotifier::activated, this, [this, c] { flush(*c); });
    connect(&c->timer, &QTimer::timeout, this, [this, c] {
        if (c->waiting && attempt(*c->waiting, true)) nextCall(*c);
    });
}

void Vxi11Server::readFrom(Connection& c) {
    if (c.gone) return;
    char buf[64 * 1024];
    const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
    if (n > 0) {
        if (!c.reader.feed(std::string_view(buf, static_cast<size_t>(n)))) return close(c);
        nextCall(c);
    } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        close(c);
    }
}

// Runs the connection's calls in order until one has to wait.
void Vxi11Server::nextCall(Connection& c) {
    while (!c.gone && !c.waiting && !c.records.empty()) {
        const std::string record = std::move(c.records.front());
        c.records.pop_front();
        onRecord(c, record);
    }
    // Stop reading while a call waits and records pile up behind it.
    if (!c.gone) c.reading.setEnabled(c.records.size() < 16);
}

void Vxi11Server::onRecord(Connection& c, std::string record) {
    bool versionOk = false;
    const auto h = parseCall(record, &versionOk);
    if (!h) return;  // a reply or garbage: nothing to answer
    if (!versionOk) return send(c, rpcMismatchReply(h->xid));
    const uint32_t program = c.abortChannel ? DEVICE_ASYNC : DEVICE_CORE;
    if (h->program != program) return send(c, acceptedReply(h->xid, ProgUnavail));
    if (h->version != 1) return send(c, progMismatchReply(h->xid, 1, 1));
    if (h->procedure == 0) return send(c, acceptedReply(h->xid, Success));  // the null procedure
    if (c.abortChannel) {
        if (h->procedure != device_abort) return send(c, acceptedReply(h->xid, ProcUnavail));
        return abortCall(c, h->args, h->xid);
    }

    auto call = std::make_unique<Call>();
    call->conn = &c;
    call->xid = h->xid;
    call->procedure = h->procedure;
    bool ok = true;
    uint32_t lockMs = 0, ioMs = 0;
    switch (h->procedure) {
    case create_link:
        ok = decode(&xdr_Create_LinkParms, h->args, [&](Create_LinkParms& p) {
            call->lockDevice = p.lockDevice;
            lockMs = static_cast<uint32_t>(p.lock_timeout);
            call->data = p.device ? p.device : "";
        });
        break;
    case device_write:
        ok = decode(&xdr_Device_WriteParms, h->args, [&](Device_WriteParms& p) {
            call->lid = static_cast<int32_t>(p.lid);
            call->flags = static_cast<int32_t>(p.flags);
            lockMs = static_cast<uint32_t>(p.lock_timeout);
            ioMs = static_cast<uint32_t>(p.io_timeout);
            call->data.assign(p.data.data_val, p.data.data_len);
        });
        break;
    case device_read:
        ok = decode(&xdr_Device_ReadParms, h->args, [&](Device_ReadParms& p) {
            call->lid = static_cast<int32_t>(p.lid);
            call->flags = static_cast<int32_t>(p.flags);
            lockMs = static_cast<uint32_t>(p.lock_timeout);
            ioMs = static_cast<uint32_t>(p.io_timeout);
            call->requestSize = static_cast<uint32_t>(p.requestSize);
            call->termChar = p.termChar;
        });
        break;
    case device_readstb: case device_trigger: case device_clear: case device_remote: case device_local:
        ok = decode(&xdr_Device_GenericParms, h->args, [&](Device_GenericParms& p) {
            call->lid = static_cast<int32_t>(p.lid);
            call->flags = static_cast<int32_t>(p.flags);
            lockMs = static_cast<uint32_t>(p.lock_timeout);
            ioMs = static_cast<uint32_t>(p.io_timeout);
        });
        break;
    case device_lock:
        ok = decode(&xdr_Device_LockParms, h->args, [&](Device_LockParms& p) {
            call->lid = static_cast<int32_t>(p.lid);
            call->flags = static_cast<int32_t>(p.flags);
            lockMs = static_cast<uint32_t>(p.lock_timeout);
        });
        break;
    case device_unlock: case destroy_link:
        ok = decode(&xdr_Device_Link, h->args, [&](Device_Link& lid) { call->lid = static_cast<int32_t>(lid); });
        break;
    case device_enable_srq: case device_docmd: case create_intr_chan: case destroy_intr_chan:
        break;  // not supported, whatever the arguments
    default:
        return send(c, acceptedReply(h->xid, ProcUnavail));
    }
    if (!ok) return send(c, acceptedReply(h->xid, GarbageArgs));
    call->lockDeadline = QDeadlineTimer(static_cast<qint64>(lockMs), Qt::PreciseTimer);
    call->ioDeadline = QDeadlineTimer(static_cast<qint64>(ioMs), Qt::PreciseTimer);
    if (attempt(*call, false)) return;
    c.waiting = std::move(call);
    const qint64 left = std::max<qint64>(1, std::min(c.waiting->lockDeadline.remainingTime(),
                                                      c.waiting->ioDeadline.remainingTime()));
    c.timer.start(static_cast<int>(std::min<qint64>(left, 1 << 30)));
}

bool Vxi11Server::attempt(Call& call, bool timerFired) {
    Connection& c = *call.conn;
    const auto linkOf = [this](int32_t lid) -> Link* {
        const auto it = links_.find(lid);
        return it == links_.end() ? nullptr : it->second.get();
    };
    const auto done = [&](std::string results) {
        answer(call, std::move(results));
        return true;
    };
    const auto notYet = [&]() {
        if (timerFired && c.waiting.get() == &call) {  // woken a little early: wait for the rest
            const qint64 left = std::min(call.lockDeadline.remainingTime(), call.ioDeadline.remainingTime());
            c.timer.start(static_cast<int>(std::clamp<qint64>(left, 1, 1 << 30)));
        }
        return false;
    };
    // Waiting for another link's lock: only when asked to, up to the lock timeout.
    const auto lockedOut = [&](int who, bool wait) {
        return lock_.heldByOther(who) && !(wait && !call.lockDeadline.hasExpired());
    };
    const auto mustWaitForLock = [&](int who, bool wait) { return lock_.heldByOther(who) && wait; };

    switch (call.procedure) {
    case create_link: {
        Create_LinkResp r{};
        std::string device = call.data;
        for (char& ch : device) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (device != "inst0") {
            r.error = kNotAccessible;
        } else if (static_cast<int>(links_.size()) >= kMaxLinks) {
            r.error = kOutOfResources;
        } else if (call.lockDevice && lockedOut(0, true)) {
            r.error = kLocked;
        } else if (call.lockDevice && mustWaitForLock(0, true)) {
            return notYet();
        } else {
            const int id = ++lastLink_;
            auto link = std::make_unique<Link>(*this, id, &c);
            link->session.setRemote(c.remote);
            link->session.onReady([this, id] {
                QMetaObject::invokeMethod(this, [this, id] {
                    if (const auto it = links_.find(id); it != links_.end()) pump(*it->second);
                    retryWaiting();
                }, Qt::QueuedConnection);
            });
            links_.emplace(id, std::move(link));
            if (call.lockDevice) lock_.take(id);
            r.lid = id;
            r.abortPort = abortPort();
            r.maxRecvSize = kMaxRecvSize;
        }
        return done(encode(&xdr_Create_LinkResp, r));
    }
    case device_enable_srq: case create_intr_chan: case destroy_intr_chan:
        return done(errorResult(kNotSupported));
    case device_docmd: {
        Device_DocmdResp r{};
        r.error = kNotSupported;
        return done(encode(&xdr_Device_DocmdResp, r));
    }
    default:
        break;
    }

    Link* link = linkOf(call.lid);
    const bool wait = (call.flags & kWaitLock) != 0;
    switch (call.procedure) {
    case device_write: {
        Device_WriteResp r{};
        if (!link) r.error = kInvalidLink;
        else if (lockedOut(link->id, wait)) r.error = kLocked;
        else if (mustWaitForLock(link->id, wait)) return notYet();
        else {
            link->message += call.data;
            r.size = static_cast<u_long>(call.data.size());
            if (link->message.size() > kMaxMessage) {
                link->message.clear();
                link->session.report(scpi::Outcome::error(scpi::InputBufferOverrun));
            } else if (call.flags & kEnd) {
                // END ends a message as a newline does: "*IDN?" comes without one.
                if (link->message.empty() || link->message.back() != '\n') link->message += '\n';
                link->framer.feed(link->message);
                link->message.clear();
                pump(*link);
            }
        }
        return done(encode(&xdr_Device_WriteResp, r));
    }
    case device_read: {
        Device_ReadResp r{};
        std::string chunk;
        if (!link) {
            r.error = kInvalidLink;
        } else if (lockedOut(link->id, wait)) {
            r.error = kLocked;
        } else if (mustWaitForLock(link->id, wait)) {
            return notYet();
        } else {
            pump(*link);
            if (link->replies.empty()) {
                if (!call.ioDeadline.hasExpired()) return notYet();
                r.error = kIoTimeout;
            } else {
                const std::string& reply = link->replies.front();
                size_t n = std::min<size_t>(call.requestSize, reply.size() - link->readOffset);
                bool termChar = false;
                if (call.flags & kTermCharSet) {
                    const size_t at = reply.find(call.termChar, link->readOffset);
                    if (at != std::string::npos && at < link->readOffset + n) {
                        n = at + 1 - link->readOffset;
                        termChar = true;
                    }
                }
                chunk = reply.substr(link->readOffset, n);
                link->readOffset += n;
                link->unread -= n;
                if (termChar) r.reason |= kReasonTermChar;
                if (link->readOffset == reply.size()) {
                    r.reason |= kReasonEnd;
                    link->replies.pop_front();
                    link->readOffset = 0;
                } else if (n == call.requestSize) {
                    r.reason |= kReasonRequestCount;
                }
            }
        }
        r.data.data_len = static_cast<u_int>(chunk.size());
        r.data.data_val = chunk.data();
        return done(encode(&xdr_Device_ReadResp, r, chunk.size()));
    }
    case device_readstb: {
        Device_ReadStbResp r{};
        if (!link) r.error = kInvalidLink;
        else if (lockedOut(link->id, wait)) r.error = kLocked;
        else if (mustWaitForLock(link->id, wait)) return notYet();
        else r.stb = link->session.statusByte(!link->replies.empty());
        return done(encode(&xdr_Device_ReadStbResp, r));
    }
    case device_trigger: case device_clear: case device_remote: case device_local: {
        int32_t error = kNoError;
        if (!link) error = kInvalidLink;
        else if (lockedOut(link->id, wait)) error = kLocked;
        else if (mustWaitForLock(link->id, wait)) return notYet();
        else if (call.procedure == device_trigger) {
            link->framer.feed("*TRG\n");
            pump(*link);
        } else if (call.procedure == device_clear) {
            link->message.clear();
            link->lines.clear();
            link->replies.clear();
            link->readOffset = link->unread = 0;
            link->session.abandon();
        }
        return done(errorResult(error));
    }
    case device_lock: {
        int32_t error = kNoError;
        if (!link) error = kInvalidLink;
        else if (lockedOut(link->id, wait)) error = kLocked;
        else if (mustWaitForLock(link->id, wait)) return notYet();
        else lock_.take(link->id);
        return done(errorResult(error));
    }
    case device_unlock: {
        int32_t error = kNoError;
        if (!link) error = kInvalidLink;
        else if (!lock_.heldBy(link->id)) error = kNoLockHeld;
        else lock_.release(link->id);
        return done(errorResult(error));
    }
    case destroy_link: {
        if (!link) return done(errorResult(kInvalidLink));
        destroyLink(link->id);
        return done(errorResult(kNoError));
    }
    default:
        return done(errorResult(kSyntaxError));
    }
}

void Vxi11Server::answer(Call& call, std::string results) {
    Connection& c = *call.conn;
    const uint32_t xid = call.xid;
    if (c.waiting.get() == &call) {
        c.timer.stop();
        c.waiting.reset();  // `call` is gone from here on
    }
    send(c, acceptedReply(xid, Success, results));
    // What this call changed may let others go on.
    QMetaObject::invokeMethod(this, [this] { retryWaiting(); }, Qt::QueuedConnection);
}

void Vxi11Server::retryWaiting() {
    for (auto& c : connections_)
        if (!c->gone && c->waiting && attempt(*c->waiting, false)) nextCall(*c);
}

void Vxi11Server::abortCall(Connection& c, std::string_view args, uint32_t xid) {
    int32_t lid = 0;
    if (!decode(&xdr_Device_Link, args, [&](Device_Link& l) { lid = static_cast<int32_t>(l); }))
        return send(c, acceptedReply(xid, GarbageArgs));
    if (!links_.count(lid)) return send(c, acceptedReply(xid, Success, errorResult(kInvalidLink)));
    // The link's waiting call, if any, ends with "abort".
    for (auto& other : connections_) {
        if (other->gone || !other->waiting || other->waiting->lid != lid) continue;
        Call& waiting = *other->waiting;
        if (waiting.procedure == device_read) {
            Device_ReadResp r{};
            r.error = kAbort;
            answer(waiting, encode(&xdr_Device_ReadResp, r));
        } else if (waiting.procedure == device_write) {
            Device_WriteResp r{};
            r.error = kAbort;
            answer(waiting, encode(&xdr_Device_WriteResp, r));
        } else if (waiting.procedure == device_readstb) {
            Device_ReadStbResp r{};
            r.error = kAbort;
            answer(waiting, encode(&xdr_Device_ReadStbResp, r));
        } else {
            answer(waiting, errorResult(kAbort));
        }
        nextCall(*other);
    }
    send(c, acceptedReply(xid, Success, errorResult(kNoError)));
}

void Vxi11Server::pump(Link& link) {
    if (lock_.heldByOther(link.id)) return;
    for (;;) {
        scpi::LineResult r;
        if (link.session.held()) {
            if (!link.session.ready()) break;
            r = link.session.resume();
        } else if (!link.lines.empty()) {
            Link::Line line = std::move(link.lines.front());
            link.lines.pop_front();
            if (line.tooLong) {
                link.session.report(scpi::Outcome::error(scpi::InputBufferOverrun));
                continue;
            }
            r = link.session.execute(line.text);
        } else {
            break;
        }
        if (r.replied && !r.held) {
            if (link.unread + r.reply.size() + 1 > kMaxUnreadOutput) {
                // The client writes queries and never reads: drop what it left.
                link.replies.clear();
                link.readOffset = link.unread = 0;
                link.session.report(scpi::Outcome::error(scpi::QueryInterrupted));
            }
            link.replies.push_back(r.reply + '\n');
            link.unread += r.reply.size() + 1;
        }
    }
}

void Vxi11Server::destroyLink(int lid) {
    const auto it = links_.find(lid);
    if (it == links_.end()) return;
    std::unique_ptr<Link> link = std::move(it->second);
    links_.erase(it);
    lock_.release(lid);
}

void Vxi11Server::send(Connection& c, const std::string& record) {
    if (c.gone) return;
    c.out += frameRecord(record);
    flush(c);
}

void Vxi11Server::flush(Connection& c) {
    while (!c.gone && c.sent < c.out.size()) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) c.sent += static_cast<size_t>(n);
        else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        else if (!(n < 0 && errno == EINTR)) return close(c);
    }
    if (c.gone) return;
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
    } else if (c.out.size() - c.sent > 4 * kMaxUnreadOutput) {
        return close(c);  // it does not read its replies
    }
    c.writing.setEnabled(c.sent < c.out.size());
}

void Vxi11Server::close(Connection& c) {
    if (c.gone) return;
    c.gone = true;
    c.reading.setEnabled(false);
    c.writing.setEnabled(false);
    c.timer.stop();
    c.waiting.reset();
    ::close(c.fd);
    c.fd = -1;
    // A connection's links end with it, and so does a lock one held.
    std::vector<int> owned;
    for (const auto& [id, link] : links_)
        if (link->owner == &c) owned.push_back(id);
    for (int id : owned) destroyLink(id);
    QMetaObject::invokeMethod(
        this,
        [this, conn = &c] {
            connections_.remove_if([conn](const std::unique_ptr<Connection>& p) { return p.get() == conn; });
        },
        Qt::QueuedConnection);
}

}  // namespace vxi11
