#include "vxi11/Registration.h"

#include "vxi11/Rpc.h"
#include "vxi11_rpc.h"

#include <rpc/pmap_clnt.h>
#include <rpc/rpcb_clnt.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vxi11 {
namespace {

constexpr uint32_t kPortmapper = 100000, kPortmapperV2 = 2, kGetPort = 3;
constexpr int kTimeoutMs = 2000;

// A blocking exchange with a deadline: connects to 127.0.0.1:port, sends,
// reads one record. Empty when anything fails.
std::string exchange(uint16_t port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{kTimeoutMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::string record;
    bool complete = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        RecordReader reader(1 << 16, [&](std::string r) {
            record = std::move(r);
            complete = true;
        });
        char buf[4096];
        while (!complete) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0 || !reader.feed(std::string_view(buf, static_cast<size_t>(n)))) break;
        }
    }
    ::close(fd);
    return complete ? record : std::string();
}

// Whether a VXI-11 core program answers its null procedure on 127.0.0.1:port.
bool answers(uint16_t port) {
    const uint32_t xid = 0x51a47100;
    const std::string reply = exchange(port, frameRecord(callMessage(xid, DEVICE_CORE, DEVICE_CORE_VERSION, 0, {})));
    return !reply.empty() && replyResults(reply, xid).has_value();
}

}  // namespace

int registeredCorePort() {
    const uint32_t xid = 0x51a47101;
    std::string args;
    for (uint32_t v : {uint32_t{DEVICE_CORE}, uint32_t{DEVICE_CORE_VERSION}, uint32_t{IPPROTO_TCP}, 0u})
        putU32(args, v);
    const std::string reply = exchange(111, frameRecord(callMessage(xid, kPortmapper, kPortmapperV2, kGetPort, args)));
    if (reply.empty()) return -1;
    auto results = replyResults(reply, xid);
    if (!results) return -1;
    const auto port = getU32(*results);
    return port ? static_cast<int>(*port) : -1;
}

bool Registration::take(uint16_t port) {
    const int present = registeredCorePort();
    if (present < 0) {
        why_ = "no rpcbind answers on this computer";
        return false;
    }
    if (present > 0) {
        if (answers(static_cast<uint16_t>(present))) {
            why_ = "another program serves it here (core port " + std::to_string(present) + ")";
            return false;
        }
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);  // stale: its program is gone
    }
    if (!pmap_set(DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, port)) {
        why_ = "rpcbind refused the registration";
        return false;
    }
    held_ = true;
    return true;
}

void Registration::release() {
    if (!held_) return;
    held_ = false;
    pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
}

}  // namespace vxi11
