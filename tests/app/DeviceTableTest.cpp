#include "app/DeviceTable.h"
#include "app/ModelRules.h"

#include <gtest/gtest.h>
#include <set>

using namespace korva;

namespace {

struct Attached {
    bool com = false, lpt = false;
    std::set<std::string> serialIds; // ids FindUsbSerialPort finds
    std::set<std::string> printerIds;
    std::vector<std::string> asked;
};

DiscoveryProbe probeFor(Attached& a) {
    DiscoveryProbe p;
    p.hasComPort = [&a] { return a.com; };
    p.hasLptPort = [&a] { return a.lpt; };
    p.findUsbSerialPort = [&a](const std::string& id) {
        a.asked.push_back("serial " + id);
        return a.serialIds.count(id) ? std::string("/dev/ttyACM0") : std::string();
    };
    p.countUsbPrinters = [&a](const std::string& id) {
        a.asked.push_back("printer " + id);
        return a.printerIds.count(id) ? 1 : -1;
    };
    return p;
}

} // namespace

TEST(DeviceTable, EntriesAgreeWithTheModelRules) {
    for (const DeviceEntry& e : kDeviceTable) {
        EXPECT_EQ(modelFamily(e.name), e.family) << e.name;
        EXPECT_EQ(interfaceKind(e.name, e.family), e.interfaceKind) << e.name;
        EXPECT_EQ(modelKind(e.name), e.modelKind) << e.name;
    }
}

TEST(DeviceTable, WithoutComAndLptSixModelsAreListed) {
    Attached a;
    DeviceListing l = listDevices(probeFor(a));
    EXPECT_EQ(l.names, (std::vector<std::string>{"KORVA30U-I", "KORVA30U-II", "KORVA40U-I",
                                                 "KORVA40U-II", "KORVA40E-II", "KORVA40W"}));
    EXPECT_EQ(l.preselected, -1);
}

TEST(DeviceTable, ComAndLptAddTheirModelsInTableOrder) {
    Attached a;
    a.com = true;
    a.lpt = true;
    DeviceListing l = listDevices(probeFor(a));
    ASSERT_EQ(l.names.size(), 10u);
    EXPECT_EQ(l.names[2], "KORVA30S");
    EXPECT_EQ(l.names[7], "KORVA40P");
}

TEST(DeviceTable, PreselectionFollowsTheAttachedPrinterAndLaterHitsWin) {
    {
        Attached a;
        a.printerIds = {"USB\\VID_5E3B&PID_3012"};
        DeviceListing l = listDevices(probeFor(a));
        ASSERT_GE(l.preselected, 0);
        EXPECT_EQ(l.names[static_cast<std::size_t>(l.preselected)], "KORVA40U-II");
    }
    {
        Attached a; // positions shift when COM models are listed
        a.com = true;
        a.serialIds = {"USB\\VID_5E3B&PID_3011"};
        a.printerIds = {"USB\\VID_5E3B&PID_3002"};
        DeviceListing l = listDevices(probeFor(a));
        EXPECT_EQ(l.names[static_cast<std::size_t>(l.preselected)], "KORVA40U-I");
    }
    {
        Attached a; // entry 1 is not tried when entry 0 was preselected
        a.serialIds = {"USB\\VID_5E3B&PID_3001"};
        a.printerIds = {"USB\\VID_5E3B&PID_3002"};
        DeviceListing l = listDevices(probeFor(a));
        EXPECT_EQ(l.names[static_cast<std::size_t>(l.preselected)], "KORVA30U-I");
        for (const std::string& q : a.asked)
            EXPECT_NE(q, "printer USB\\VID_5E3B&PID_3002");
    }
}
