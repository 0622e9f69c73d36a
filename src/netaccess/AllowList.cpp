#include "netaccess/AllowList.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace netaccess {
namespace {

constexpr std::array<uint8_t, 12> kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

Address mapped(const in_addr& v4) {
    Address a;
    std::memcpy(a.bytes.data(), kMappedPrefix.data(), 12);
    std::memcpy(a.bytes.data() + 12, &v4, 4);
    return a;
}

Address fromV6(const in6_addr& v6) {
    Address a;
    std::memcpy(a.bytes.data(), &v6, 16);
    return a;
}

bool prefixEqual(const Address& x, const Address& y, int bits) {
    for (int i = 0; i < 16 && bits > 0; ++i, bits -= 8) {
        const uint8_t mask = bits >= 8 ? 0xff : static_cast<uint8_t>(0xff << (8 - bits));
        if ((x.bytes[i] & mask) != (y.bytes[i] & mask)) return false;
    }
    return true;
}

}  // namespace

bool Address::v4() const { return std::memcmp(bytes.data(), kMappedPrefix.data(), 12) == 0; }

std::string Address::text() const {
    char buf[INET6_ADDRSTRLEN] = {};
    if (v4()) inet_ntop(AF_INET, bytes.data() + 12, buf, sizeof buf);
    else inet_ntop(AF_INET6, bytes.data(), buf, sizeof buf);
    return buf;
}

std::optional<Address> parseAddress(std::string_view text) {
    const std::string s(text);
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, s.c_str(), &v4) == 1) return mapped(v4);
    if (inet_pton(AF_INET6, s.c_str(), &v6) == 1) return fromV6(v6);
    return std::nullopt;
}

std::optional<Address> fromSockaddr(const sockaddr* sa) {
    if (sa->sa_family == AF_INET) return mapped(reinterpret_cast<const sockaddr_in*>(sa)->sin_addr);
    if (sa->sa_family == AF_INET6) return fromV6(reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr);
    return std::nullopt;
}

bool isLocalClient(const Address& a) {
    static const Address v4 = *parseAddress("127.0.0.1"), v6 = *parseAddress("::1");
    return a == v4 || a == v6;
}

std::optional<AllowList> AllowList::parse(std::string_view text, std::string* problem) {
    AllowList list;
    const auto bad = [&](std::string_view part, const char* why) -> std::optional<AllowList> {
        if (problem) *problem = "'" + std::string(part) + "' " + why;
        return std::nullopt;
    };
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string_view part = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        start = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
        if (part.empty()) return bad(part, "is empty");
        const size_t slash = part.find('/');
        const auto base = parseAddress(part.substr(0, slash));
        if (!base) return bad(part, "is no IPv4 or IPv6 address");
        const int width = base->v4() ? 32 : 128;
        int bits = width;
        if (slash != std::string_view::npos) {
            const std::string_view digits = part.substr(slash + 1);
            if (digits.empty() || digits.size() > 3) return bad(part, "has a bad prefix length");
            bits = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') return bad(part, "has a bad prefix length");
                bits = bits * 10 + (c - '0');
            }
            if (bits > width) return bad(part, "has a prefix longer than its address");
        }
        list.nets_.push_back({*base, bits + (width == 32 ? 96 : 0)});
    }
    return list;
}

bool AllowList::allows(const Address& a) const {
    if (isLocalClient(a)) return true;
    for (const Net& n : nets_)
        if (prefixEqual(a, n.base, n.bits)) return true;
    return false;
}

bool RefusalLog::shouldSay(const Address& a, Clock::time_point now) {
    const auto it = said_.find(a);
    if (it != said_.end() && now - it->second < std::chrono::minutes(1)) return false;
    said_[a] = now;
    return true;
}

}  // namespace netaccess
