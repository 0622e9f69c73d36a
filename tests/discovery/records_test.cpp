// What the DNS-SD announcement says: services, TXT strings and instance names.
#include "discovery/ServiceRecords.h"

#include <gtest/gtest.h>

namespace {

using discovery::Identity;
using Strings = std::vector<std::string>;

TEST(ServiceRecords, RawSocketAlwaysVxi11AtRpcbindsPort) {
    const auto both = discovery::services(5025, true);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].type, "_scpi-raw._tcp");
    EXPECT_EQ(both[0].port, 5025);
    EXPECT_EQ(both[1].type, "_vxi-11._tcp");
    EXPECT_EQ(both[1].port, 111);
    EXPECT_EQ(discovery::services(40000, false).size(), 1u);
}

TEST(ServiceRecords, TxtAndNameFromTheIdentity) {
    const std::string long200(200, 'x');
    const std::string e = "\xc3\xa9";  // two bytes
    const struct {
        Identity id;
        Strings txt;
        std::string name;
    } cases[] = {
        {{"Maker", "QZ4471", "SIM", "2.0.0"},
         {"txtvers=1", "Manufacturer=Maker", "Model=QZ4471", "SerialNumber=SIM", "FirmwareVersion=2.0.0"},
         "QZ4471 SIM"},
        {{"", "QZ4471", "", ""},
         {"txtvers=1", "Manufacturer=", "Model=QZ4471", "SerialNumber=", "FirmwareVersion="},
         "QZ4471"},
        {{"A\tB", "QZ4471", "PARPORT /dev/parport0", "1\n2"},
         {"txtvers=1", "Manufacturer=A?B", "Model=QZ4471", "SerialNumber=PARPORT /dev/parport0", "FirmwareVersion=1?2"},
         "QZ4471 PARPORT /dev/parport0"},
        // A TXT string holds 255 bytes; a name 63, never half a character.
        {{long200 + long200, "QZ4471", std::string(54, 's') + e + e + "t", "1"},
         {"txtvers=1", "Manufacturer=" + std::string(242, 'x'), "Model=QZ4471",
          "SerialNumber=" + std::string(54, 's') + e + e + "t", "FirmwareVersion=1"},
         "QZ4471 " + std::string(54, 's') + e},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(discovery::txtRecord(c.id), c.txt) << c.id.serialNumber;
        EXPECT_EQ(discovery::instanceName(c.id), c.name) << c.id.serialNumber;
    }
}

}  // namespace
