#include "app/ModelRules.h"
#include "FakeDeviceTree.h"
#include "PtyPair.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "comm/CPorts.h"
#include "comm/UsbDiscovery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

using namespace korva;

struct ModelCase {
    const char* model;
    int family, interface, kind;
};

class ModelRules : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelRules, FamilyInterfaceAndKind) {
    const ModelCase& c = GetParam();
    int family = modelFamily(c.model);
    EXPECT_EQ(family, c.family);
    EXPECT_EQ(interfaceKind(c.model, family), c.interface);
    EXPECT_EQ(modelKind(c.model), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModelRules,
    ::testing::Values(
        // The built-in models.
        ModelCase{"KORVA30U-I", 5, 3, 5}, ModelCase{"KORVA30U-II", 5, 4, 5},
        ModelCase{"KORVA30S", 5, 1, 5}, ModelCase{"KORVA30P", 5, 2, 5},
        ModelCase{"KORVA40U-I", 6, 3, 6}, ModelCase{"KORVA40U-II", 6, 4, 6},
        ModelCase{"KORVA40S", 6, 1, 6}, ModelCase{"KORVA40P", 6, 2, 6},
        ModelCase{"KORVA40E-II", 6, 6, 6}, ModelCase{"KORVA40W", 6, 7, 6},
        // Order matters: KORVA20II before KORVA20, HDC-61 for the family, HDC-6181 for the kind.
        ModelCase{"KORVA20IIS", 3, 1, 3}, ModelCase{"KORVA20S", 1, 1, 1},
        ModelCase{"KORVA20II", 3, 4, 3}, ModelCase{"HDC-61", 3, 0, 1},
        ModelCase{"HDC-6181S", 3, 1, 3}, ModelCase{"QAL480P", 1, 2, 1},
        ModelCase{"LOM 05II", 3, 4, 3}, ModelCase{"VK-5070S", 3, 1, 3},
        ModelCase{"NRW-4600S", 4, 1, 4},
        // "K40..." gets family 4 but ModelKind 1; "Val..." family 5 and kind 5.
        ModelCase{"K40S", 4, 1, 1}, ModelCase{"ValP", 5, 2, 5},
        // KORVA10 is family 2, so its "II" is not the USB printer interface.
        ModelCase{"KORVA10II", 2, 0, 2}, ModelCase{"KORVA10S", 2, 1, 2},
        ModelCase{"KORVA10-I", 2, 3, 2},
        // "E-II" before "II", "W" before everything else.
        ModelCase{"NRW-4600E-II", 4, 6, 4}, ModelCase{"KORVA20W", 1, 7, 1},
        // Unknown models: family 0, kind 1.
        ModelCase{"EPSON TM-T88", 0, 0, 1}, ModelCase{"korva40s", 0, 0, 1},
        ModelCase{"", 0, 0, 1}));

TEST(ModelRules, UsbSearchIdsAndBaudListsPerFamily) {
    struct Row {
        int family;
        const char* printer; // the printer-class presence search
        const char* serial;  // the USB virtual serial port
        std::vector<int> bauds;
    } rows[] = {
        {1, "USB\\VID_5E3B&PID_0101", "USB\\VID_5E3B&PID_3001", {115200, 38400, 19200, 9600}},
        {2, "USB\\VID_5E3B&PID_0102", "USB\\VID_5E3B&PID_3001", {38400, 19200, 9600}},
        {3, "USB\\VID_5E3B&PID_0102", "USB\\VID_5E3B&PID_3001", {115200, 38400, 19200, 9600}},
        {4, "USB\\VID_5E3B&PID_3004", "USB\\VID_5E3B&PID_3003", {115200, 38400, 19200, 9600}},
        {5, "USB\\VID_5E3B&PID_3002", "USB\\VID_5E3B&PID_3001", {115200, 38400, 19200, 9600}},
        {6, "USB\\VID_5E3B&PID_3012", "USB\\VID_5E3B&PID_3011", {115200, 38400, 19200, 9600}},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(usbPrinterSearchId(row.family), row.printer) << row.family;
        EXPECT_STREQ(usbSerialPortId(row.family), row.serial) << row.family;
        EXPECT_EQ(baudRatesOf(row.family), row.bauds) << row.family;
    }
}

// For every class that has a printer-class USB model, the printer the presence search finds is
// one the connection opens: a printer answering to the searched id is counted once and opened
// by the model kind the connection is given.
TEST(ModelRules, UsbPresenceSearchFindsWhatTheConnectionOpens) {
    struct Row {
        const char* model;
        const char* searched;
    } rows[] = {
        {"KORVA20II", "USB\\VID_5E3B&PID_3004"},   // family 3: the family id 0102 is never opened
        {"HDC-6181II", "USB\\VID_5E3B&PID_3004"},  // family 3
        {"KORVA10II", "USB\\VID_5E3B&PID_0101"},   // family 2 (the command line's USB)
        {"QAL480II", "USB\\VID_5E3B&PID_0101"},    // family 1
        {"NRW-4600II", "USB\\VID_5E3B&PID_3004"},  // family 4
        {"KORVA30U-II", "USB\\VID_5E3B&PID_3002"}, // family 5
        {"KORVA40U-II", "USB\\VID_5E3B&PID_3012"}, // family 6
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.model);
        const int family = modelFamily(row.model);
        const int kind = modelKind(row.model);
        const std::string id = usbPresenceSearchId(family, kind);
        EXPECT_EQ(id, row.searched);

        test::PtyPair pty;
        ASSERT_TRUE(pty.ok());
        test::FakeDeviceTree tree;
        test::TempDir dir;
        ErrorLog log;
        ASSERT_TRUE(log.Open(dir.file("error.log")));
        tree.addUsbPrinter(0, "5e3b", id.substr(id.size() - 4), "0100", pty.slavePath());
        EXPECT_EQ(CountUsbPrinters(tree.roots(), log, id), 1);

        VirtualClock clock;
        RecordingPrompter prompter;
        MessageCatalogue catalogue;
        CPorts ports{log, catalogue, prompter, clock, tree.roots()};
        ports.m_PortName = "USB";
        ports.m_ModelKind = kind;
        EXPECT_EQ(ports.Open(), 1);
        EXPECT_EQ(ports.m_DevicePath, tree.roots().dev + "/usb/lp0");
    }
}
