#pragma once
// ONC RPC (RFC 5531) over TCP as the VXI-11 server needs it: record marking,
// the call header, and accepted or denied replies. Plain bytes, so a call can
// be taken apart now and answered later.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vxi11 {

// Joins record-marking fragments into records. A record longer than the
// limit is an error: the stream can no longer be trusted and is closed.
class RecordReader {
public:
    explicit RecordReader(size_t maxRecord, std::function<void(std::string record)> onRecord)
        : max_(maxRecord), onRecord_(std::move(onRecord)) {}
    // False once a record has grown past the limit.
    bool feed(std::string_view bytes);

private:
    size_t max_;
    std::function<void(std::string)> onRecord_;
    std::string header_;  // of the fragment being read, until 4 bytes
    size_t left_ = 0;     // bytes of the fragment still to come
    bool last_ = false;
    std::string record_;
    bool failed_ = false;
};

// One record as a single last fragment.
std::string frameRecord(std::string_view record);

enum AcceptStat : uint32_t { Success = 0, ProgUnavail = 1, ProgMismatch = 2, ProcUnavail = 3, GarbageArgs = 4 };

struct CallHeader {
    uint32_t xid = 0, program = 0, version = 0, procedure = 0;
    std::string_view args;  // into the record
};
// The call's header, or nothing when the record is no call message. A call
// of another RPC version than 2 comes back with version 0 in `rpcVersionOk`.
std::optional<CallHeader> parseCall(std::string_view record, bool* rpcVersionOk);

std::string acceptedReply(uint32_t xid, AcceptStat stat, std::string_view results = {});
std::string progMismatchReply(uint32_t xid, uint32_t low, uint32_t high);
std::string rpcMismatchReply(uint32_t xid);

// A call message with no credentials, for our own client calls (rpcbind).
std::string callMessage(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure,
                        std::string_view args);
// The results of an accepted, successful reply to `xid`, or nothing.
std::optional<std::string_view> replyResults(std::string_view record, uint32_t xid);

void putU32(std::string& out, uint32_t v);
std::optional<uint32_t> getU32(std::string_view& in);

}  // namespace vxi11
