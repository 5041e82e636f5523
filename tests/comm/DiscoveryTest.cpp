#include "FakeDeviceTree.h"
#include "PtyPair.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "comm/CPorts.h"
#include "comm/UsbDiscovery.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

const std::string kPid3002 = "USB\\VID_5E3B&PID_3002";
const std::string kPid3012 = "USB\\VID_5E3B&PID_3012";
const std::string kPid3001 = "USB\\VID_5E3B&PID_3001";

class Discovery : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.Open(logDir.file("error.log"))); }
    std::string logText() { return logDir.read("error.log"); }

    TempDir logDir;
    ErrorLog log;
    FakeDeviceTree tree;
    PtyPair ptyA, ptyB;
};

} // namespace

TEST_F(Discovery, CountsMatchingPrintersAndGivesMinusOneForNone) {
    ASSERT_TRUE(ptyA.ok() && ptyB.ok());
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, kPid3002), -1); // no usbmisc class at all

    tree.addUsbPrinter(0, "5e3b", "3002", "0100", ptyA.slavePath());
    tree.addUsbPrinter(1, "5e3b", "3002", "0100", ptyB.slavePath());
    tree.addUsbPrinter(2, "5e3b", "3012", "0100", ptyB.slavePath());
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, kPid3002), 2);
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, kPid3012), 1);
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, "USB\\VID_5E3B&PID_0101"), -1);
    // The full id with revision narrows the match.
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, "USB\\VID_5E3B&PID_3002&REV_0100"), 2);
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, "USB\\VID_5E3B&PID_3002&REV_0200"), -1);
}

TEST_F(Discovery, LowerCaseIdsMatchUpperCasePrefix) {
    tree.addUsbPrinter(0, "5e3b", "30a2", "01ff", ptyA.slavePath());
    EXPECT_EQ(usbHardwareIdOf(listUsbPrinters(tree.roots()).entries.at(0).interfaceDir),
              "USB\\VID_5E3B&PID_30A2&REV_01FF");
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, "USB\\VID_5E3B&PID_30A2"), 1);
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, "usb\\vid_5e3b&pid_30a2"), 1);
}

TEST_F(Discovery, CountStopsAtAMatchThatCannotBeOpenedButKeepsItCounted) {
    tree.addUsbPrinter(0, "5e3b", "3002", "0100", "/nonexistent/node");
    tree.addUsbPrinter(1, "5e3b", "3002", "0100", ptyA.slavePath());
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, kPid3002), 1);
    EXPECT_NE(logText().find("Create File error\r\n"), std::string::npos);
}

TEST_F(Discovery, BrokenEntriesEndTheSearchWithTheirLogLine) {
    tree.addUsbPrinter(0, "5e3b", "3002", "0100", ptyA.slavePath());
    tree.breakUsbId(0, "bcdDevice");
    std::string path;
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, kPid3002), -1);
    EXPECT_EQ(OpenUsbPrinter(tree.roots(), log, kPid3002, path), -1);
    std::string text = logText();
    EXPECT_NE(text.find("[Error]SetupDiGetDeviceRegistryProperty"), std::string::npos);
    EXPECT_NE(text.find("[Error] SetupDiDestroyDeviceInfoList"), std::string::npos);
}

TEST_F(Discovery, OpenUsbPrinterOpensTheFirstMatchAndKeepsTheList) {
    tree.addUsbPrinter(0, "5e3b", "3004", "0100", ptyB.slavePath());
    tree.addUsbPrinter(1, "5e3b", "3012", "0100", ptyA.slavePath(), /*withDevName=*/false);
    std::string path;
    std::vector<UsbPrinterInfo> kept;
    int fd = OpenUsbPrinter(tree.roots(), log, kPid3012, path, &kept);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(path, tree.roots().dev + "/usb/lp1"); // fallback name without DEVNAME
    EXPECT_EQ(kept.size(), 2u);
    ASSERT_EQ(::write(fd, "\x1b@", 2), 2);
    EXPECT_EQ(hex(ptyA.receive(2)), "1B 40");
    ::close(fd);
    EXPECT_NE(logText().find("CreateFile Success ["), std::string::npos);

    kept.clear();
    EXPECT_EQ(OpenUsbPrinter(tree.roots(), log, "USB\\VID_5E3B&PID_0101", path, &kept), -1);
    EXPECT_TRUE(kept.empty());
    EXPECT_NE(logText().find("[Error] SetupDiEnumDeviceInterfaces("), std::string::npos);
}

TEST_F(Discovery, OpenUsbPrinterReportsAMatchThatCannotBeOpened) {
    tree.addUsbPrinter(0, "5e3b", "3012", "0100", "/nonexistent/node");
    std::string path;
    EXPECT_EQ(OpenUsbPrinter(tree.roots(), log, kPid3012, path), -1);
    EXPECT_NE(logText().find("CreateFile Fail ["), std::string::npos);
}

TEST_F(Discovery, OnlyTheFirstVirtualSerialPortIsEverReported) {
    EXPECT_EQ(FindUsbSerialPort(tree.roots(), log, kPid3001), "");
    tree.addUsbSerial(1, "5e3b", "3001", "0100", ptyA.slavePath());
    tree.addUsbSerial(10, "5e3b", "3001", "0100", ptyA.slavePath());
    // ttyACM1 is the lowest present: it is the one reported.
    EXPECT_EQ(FindUsbSerialPort(tree.roots(), log, kPid3001), tree.roots().dev + "/ttyACM1");

    tree.addUsbSerial(0, "5e3b", "3011", "0100", ptyB.slavePath());
    // Now ttyACM0 is first; it carries another id, and ttyACM1 is never looked at.
    EXPECT_EQ(FindUsbSerialPort(tree.roots(), log, kPid3001), "");
    EXPECT_EQ(FindUsbSerialPort(tree.roots(), log, "usb\\vid_5e3b&pid_3011"),
              tree.roots().dev + "/ttyACM0");
    // Only the first 21 characters of the id take part.
    EXPECT_EQ(FindUsbSerialPort(tree.roots(), log, "USB\\VID_5E3B&PID_3011&REV_0100"), "");
}

TEST_F(Discovery, EnumeratesSerialAndParallelPorts) {
    VirtualClock clock;
    RecordingPrompter prompter;
    MessageCatalogue catalogue;
    CPorts ports(log, catalogue, prompter, clock, tree.roots());

    std::vector<std::string> list{"kept"};
    EXPECT_EQ(ports.EnumeratePorts(0, list), 0); // no tty class
    EXPECT_NE(logText().find("Registry open fail"), std::string::npos);
    EXPECT_EQ(ports.EnumeratePorts(1, list), 0);

    tree.addTty("ttyS10", "pnp");
    tree.addTty("ttyS0", "pnp");
    tree.addTty("ttyS2", "platform"); // the kernel's placeholder ports
    tree.addTty("ttyUSB0", "usb-serial");
    tree.addTty("tty1", ""); // a virtual console: no device
    tree.addSerialCoreTty("ttyS1", "pnp");
    tree.addSerialCoreTty("ttyS3", "platform");
    tree.addUsbSerial(0, "5e3b", "3001", "0100", "");
    tree.addParallel(1);
    tree.addParallel(0);
    tree.addParallel(10);

    EXPECT_EQ(ports.EnumeratePorts(0, list), 5);
    const std::string& d = tree.roots().dev;
    EXPECT_EQ(list, (std::vector<std::string>{"kept", d + "/ttyACM0", d + "/ttyS0", d + "/ttyS1",
                                              d + "/ttyS10", d + "/ttyUSB0"}));
    list.clear();
    EXPECT_EQ(ports.EnumeratePorts(1, list), 3);
    EXPECT_EQ(list, (std::vector<std::string>{"LPT1", "LPT2", "LPT11"}));
    EXPECT_EQ(ports.EnumeratePorts(7, list), 0);
}

// An id attribute is four hex digits: a longer product id whose first four digits are a KORVA
// id names another device; it is an unreadable id, never that printer.
TEST_F(Discovery, AnIdOfAnotherLengthIsNoPrinter) {
    tree.addUsbPrinter(0, "5e3b", "30120", "0100", ptyA.slavePath());
    EXPECT_EQ(CountUsbPrinters(tree.roots(), log, kPid3012), -1);
    EXPECT_EQ(usbHardwareIdOf(listUsbPrinters(tree.roots()).entries.at(0).interfaceDir), "");
}
