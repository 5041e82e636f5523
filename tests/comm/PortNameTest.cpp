#include "comm/PortName.h"

#include <gtest/gtest.h>

using namespace korva;

TEST(PortName, KindsAndDevicePaths) {
    EXPECT_EQ(portKindOf("com1"), PortKind::Serial);
    EXPECT_EQ(devicePathOf("com1"), "/dev/ttyS0");
    EXPECT_EQ(devicePathOf("COM10", "/tmp/dev"), "/tmp/dev/ttyS9");
    EXPECT_EQ(devicePathOf("COM100", "/tmp/dev"), "/tmp/dev/ttyS99") << "three digits";
    EXPECT_EQ(devicePathOf("COM1000"), "") << "no fourth digit";
    EXPECT_EQ(devicePathOf("LPT100", "/tmp/dev"), "/tmp/dev/lp99");
    EXPECT_EQ(devicePathOf("COM0"), "");
    EXPECT_EQ(devicePathOf("COMX"), "");
    EXPECT_EQ(portKindOf("LPT2"), PortKind::Parallel);
    EXPECT_EQ(devicePathOf("LPT2"), "/dev/lp1");
    EXPECT_EQ(portKindOf("LPT:/dev/pts/4"), PortKind::Parallel);
    EXPECT_EQ(devicePathOf("LPT:/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(portKindOf("/dev/usb/lp0"), PortKind::Parallel);
    EXPECT_EQ(portKindOf("/dev/ttyACM0"), PortKind::Serial);
    EXPECT_EQ(portKindOf("/dev/pts/7"), PortKind::Serial);
    EXPECT_EQ(portKindOf("USB"), PortKind::Usb);
    EXPECT_EQ(portKindOf("FILE"), PortKind::File);
    EXPECT_EQ(portKindOf("ETHERNET_II"), PortKind::None);
    EXPECT_EQ(portKindOf("WIFI"), PortKind::None);
    EXPECT_EQ(portKindOf("usb"), PortKind::None);
}
