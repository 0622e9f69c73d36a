// Which clients the allow-list lets in, and how often a refusal is said.
#include "netaccess/AllowList.h"

#include <gtest/gtest.h>

using namespace netaccess;

TEST(AllowList, ParsesNetworksAndRefusesBadParts) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"192.0.2.0/24", true}, {"192.0.2.7", true}, {"2001:db8::/32,10.0.0.0/8", true}, {"0.0.0.0/0", true},
        {"", false}, {"192.0.2.0/33", false}, {"2001:db8::/129", false}, {"192.0.2.0/", false},
        {"192.0.2.0/2x", false}, {"host.example", false}, {"10.0.0.0/8,", false},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_EQ(AllowList::parse(c.text, &problem).has_value(), c.ok) << c.text;
        EXPECT_EQ(problem.empty(), c.ok) << c.text;
    }
}

TEST(AllowList, LetsInLoopbackAlwaysAndOthersByNetwork) {
    const AllowList list = *AllowList::parse("127.0.0.2/32,192.0.2.0/24,2001:db8::/32");
    const AllowList none = AllowList();
    const struct {
        const char* client;
        bool listed, unlisted;  // by `list`, by an empty list
    } cases[] = {
        {"127.0.0.1", true, true},         {"::1", true, true},
        {"::ffff:127.0.0.1", true, true},  {"127.0.0.2", true, false},
        {"127.0.0.3", false, false},       {"192.0.2.200", true, false},
        {"::ffff:192.0.2.9", true, false}, {"192.0.3.1", false, false},
        {"2001:db8:1::5", true, false},    {"2001:db9::1", false, false},
        {"::ffff:10.1.1.1", false, false},
    };
    for (const auto& c : cases) {
        const Address a = *parseAddress(c.client);
        EXPECT_EQ(list.allows(a), c.listed) << c.client;
        EXPECT_EQ(none.allows(a), c.unlisted) << c.client;
    }
    EXPECT_TRUE(isLocalClient(*parseAddress("::ffff:127.0.0.1")));
    EXPECT_FALSE(isLocalClient(*parseAddress("127.0.0.2")));
    EXPECT_EQ(parseAddress("::ffff:192.0.2.9")->text(), "192.0.2.9");
}

TEST(AllowList, SaysARefusedAddressOnceAMinute) {
    RefusalLog log;
    const Address a = *parseAddress("192.0.2.1"), b = *parseAddress("192.0.2.2");
    const RefusalLog::Clock::time_point t0{};
    EXPECT_TRUE(log.shouldSay(a, t0));
    EXPECT_FALSE(log.shouldSay(a, t0 + std::chrono::seconds(59)));
    EXPECT_TRUE(log.shouldSay(b, t0 + std::chrono::seconds(59)));
    EXPECT_TRUE(log.shouldSay(a, t0 + std::chrono::seconds(60)));
}
