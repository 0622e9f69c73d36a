#include "vxi11/Rpc.h"

#include <algorithm>
#include <utility>

namespace vxi11 {

namespace {
constexpr uint32_t kLastFragment = 0x80000000u;
constexpr uint32_t kCall = 0, kReply = 1, kAccepted = 0, kDenied = 1, kRpcMismatch = 0;
constexpr size_t kMaxAuthBody = 400;

// An opaque_auth: its flavour, then up to 400 bytes padded to 4.
bool skipAuth(std::string_view& in) {
    const auto flavour = getU32(in), length = getU32(in);
    if (!flavour || !length || *length > kMaxAuthBody) return false;
    const size_t padded = (*length + 3) & ~size_t{3};
    if (in.size() < padded) return false;
    in.remove_prefix(padded);
    return true;
}

void putNullAuth(std::string& out) {
    putU32(out, 0);
    putU32(out, 0);
}
}  // namespace

void putU32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xff);
}

std::optional<uint32_t> getU32(std::string_view& in) {
    if (in.size() < 4) return std::nullopt;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(in[static_cast<size_t>(i)]);
    in.remove_prefix(4);
    return v;
}

bool RecordReader::feed(std::string_view bytes) {
    while (!failed_ && !bytes.empty()) {
        if (header_.size() < 4) {
            const size_t take = std::min(4 - header_.size(), bytes.size());
            header_.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (header_.size() < 4) break;
            std::string_view h = header_;
            const uint32_t word = *getU32(h);
            last_ = (word & kLastFragment) != 0;
            left_ = word & ~kLastFragment;
            if (record_.size() + left_ > max_) {
                failed_ = true;
                break;
            }
        }
        const size_t take = std::min(left_, bytes.size());
        record_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        left_ -= take;
        if (left_ == 0) {
            header_.clear();
            if (last_) onRecord_(std::exchange(record_, {}));
        }
    }
    return !failed_;
}

std::string frameRecord(std::string_view record) {
    std::string out;
    out.reserve(4 + record.size());
    putU32(out, kLastFragment | static_cast<uint32_t>(record.size()));
    out.append(record);
    return out;
}

std::optional<CallHeader> parseCall(std::string_view in, bool* rpcVersionOk) {
    CallHeader h;
    const auto xid = getU32(in), type = getU32(in), rpcvers = getU32(in);
    if (!xid || !type || *type != kCall || !rpcvers) return std::nullopt;
    h.xid = *xid;
    *rpcVersionOk = *rpcvers == 2;
    if (!*rpcVersionOk) return h;
    const auto prog = getU32(in), vers = getU32(in), proc = getU32(in);
    if (!prog || !vers || !proc || !skipAuth(in) || !skipAuth(in)) return std::nullopt;
    h.program = *prog;
    h.version = *vers;
    h.procedure = *proc;
    h.args = in;
    return h;
}

std::string acceptedReply(uint32_t xid, AcceptStat stat, std::string_view results) {
    std::string out;
    putU32(out, xid);
    putU32(out, kReply);
    putU32(out, kAccepted);
    putNullAuth(out);
    putU32(out, stat);
    out.append(results);
    return out;
}

std::string progMismatchReply(uint32_t xid, uint32_t low, uint32_t high) {
    std::string out = acceptedReply(xid, ProgMismatch);
    putU32(out, low);
    putU32(out, high);
    return out;
}

std::string rpcMismatchReply(uint32_t xid) {
    std::string out;
    putU32(out, xid);
    putU32(out, kReply);
    putU32(out, kDenied);
    putU32(out, kRpcMismatch);
    putU32(out, 2);
    putU32(out, 2);
    return out;
}

std::string callMessage(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure,
                        std::string_view args) {
    std::string out;
    for (uint32_t v : {xid, kCall, 2u, program, version, procedure}) putU32(out, v);
    putNullAuth(out);
    putNullAuth(out);
    out.append(args);
    return out;
}

std::optional<std::string_view> replyResults(std::string_view in, uint32_t xid) {
    const auto x = getU32(in), type = getU32(in), accepted = getU32(in);
    if (!x || *x != xid || !type || *type != kReply || !accepted || *accepted != kAccepted) return std::nullopt;
    if (!skipAuth(in)) return std::nullopt;
    const auto stat = getU32(in);
    if (!stat || *stat != Success) return std::nullopt;
    return in;
}

}  // namespace vxi11
