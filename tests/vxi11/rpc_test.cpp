// ONC RPC record marking and call headers as the VXI-11 server reads them.
#include "vxi11/Rpc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vxi11;

namespace {
std::string fragment(std::string_view body, bool last) {
    std::string out;
    putU32(out, (last ? 0x80000000u : 0u) | static_cast<uint32_t>(body.size()));
    return out + std::string(body);
}
}  // namespace

TEST(RecordReader, JoinsFragmentsWhateverTheReadsCut) {
    const std::string stream = fragment("abc", false) + fragment("de", true) + fragment("", true) +
                               fragment("xyz", true);
    const std::vector<std::string> expected{"abcde", "", "xyz"};
    for (size_t piece : {size_t{1}, size_t{3}, size_t{5}, stream.size()}) {
        std::vector<std::string> got;
        RecordReader reader(64, [&](std::string r) { got.push_back(std::move(r)); });
        for (size_t i = 0; i < stream.size(); i += piece)
            ASSERT_TRUE(reader.feed(std::string_view(stream).substr(i, piece)));
        EXPECT_EQ(got, expected) << "pieces of " << piece;
    }
}

TEST(RecordReader, RefusesARecordPastTheLimit) {
    int records = 0;
    RecordReader reader(8, [&](std::string) { ++records; });
    EXPECT_TRUE(reader.feed(fragment("12345", false)));
    EXPECT_FALSE(reader.feed(fragment("6789", true)));
    EXPECT_FALSE(reader.feed(fragment("1", true)));  // nothing more is read
    EXPECT_EQ(records, 0);
    EXPECT_EQ(frameRecord("ab"), fragment("ab", true));
}

TEST(RpcCall, TakesTheHeaderApartOrRefusesIt) {
    const std::string good = callMessage(7, 0x0607AF, 1, 11, "ARGS");
    std::string rpc3 = good;
    rpc3[11] = 3;  // RPC version 3
    std::string bigAuth = good.substr(0, 24);
    putU32(bigAuth, 1);
    putU32(bigAuth, 401);  // credentials past 400 bytes
    const struct {
        std::string record;
        bool parsed, versionOk;
        uint32_t procedure;
        std::string args;
    } cases[] = {
        {good, true, true, 11, "ARGS"},
        {rpc3, true, false, 0, ""},
        {good.substr(0, 30), false, false, 0, ""},
        {bigAuth, false, true, 0, ""},
        {acceptedReply(7, Success), false, false, 0, ""},  // a reply is no call
    };
    for (const auto& c : cases) {
        bool versionOk = false;
        const auto h = parseCall(c.record, &versionOk);
        ASSERT_EQ(h.has_value(), c.parsed);
        if (!h) continue;
        EXPECT_EQ(h->xid, 7u);
        EXPECT_EQ(versionOk, c.versionOk);
        if (!versionOk) continue;
        EXPECT_EQ(h->program, 0x0607AFu);
        EXPECT_EQ(h->procedure, c.procedure);
        EXPECT_EQ(h->args, c.args);
    }
}

TEST(RpcReply, CarriesResultsOnlyWhenAcceptedAndSuccessful) {
    EXPECT_EQ(replyResults(acceptedReply(9, Success, "RES"), 9), std::optional<std::string_view>("RES"));
    EXPECT_FALSE(replyResults(acceptedReply(9, Success, "RES"), 8));
    EXPECT_FALSE(replyResults(acceptedReply(9, ProcUnavail), 9));
    EXPECT_FALSE(replyResults(progMismatchReply(9, 1, 1), 9));
    EXPECT_FALSE(replyResults(rpcMismatchReply(9), 9));
}
