#pragma once
// Which client addresses may use the servers once they listen beyond
// loopback. 127.0.0.1 and ::1 are always allowed; any other address, other
// 127.x ones included, must fall in one of the listed networks. An IPv4
// client seen through an IPv6 socket (::ffff:a.b.c.d) is matched as IPv4.
// Plain POSIX so the command line can check its text too.
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr;

namespace netaccess {

// An address as 16 bytes: IPv4 ones in their IPv4-mapped IPv6 form.
struct Address {
    std::array<uint8_t, 16> bytes{};
    bool v4() const;
    std::string text() const;  // "192.0.2.7", "2001:db8::1"
    bool operator<(const Address& o) const { return bytes < o.bytes; }
    bool operator==(const Address& o) const = default;
};

std::optional<Address> parseAddress(std::string_view text);
std::optional<Address> fromSockaddr(const sockaddr* sa);

// 127.0.0.1 (also seen as ::ffff:127.0.0.1) and ::1: the clients always allowed, and the
// only ones that may read or write files through commands.
bool isLocalClient(const Address& a);

class AllowList {
public:
    // "192.0.2.0/24,2001:db8::/32,198.51.100.7": networks, or single addresses.
    // Nothing, with `problem` set, when a part does not parse.
    static std::optional<AllowList> parse(std::string_view text, std::string* problem = nullptr);
    bool allows(const Address& a) const;

private:
    struct Net {
        Address base;
        int bits;  // of the 128 (an IPv4 network counts its 96 mapped bits too)
    };
    std::vector<Net> nets_;
};

// Says a refused address at most once a minute each.
class RefusalLog {
public:
    using Clock = std::chrono::steady_clock;
    bool shouldSay(const Address& a, Clock::time_point now);

private:
    std::map<Address, Clock::time_point> said_;
};

}  // namespace netaccess
