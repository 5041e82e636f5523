#include "app/ConnectionSummary.h"

#include <gtest/gtest.h>

using namespace korva;

namespace {
ConnectionSettings serial(int kind, const char* port, int baud, int data, int parity, int flow,
                          int stop) {
    ConnectionSettings s;
    s.m_ModelKind = kind;
    s.m_PortName = port;
    s.m_BaudRate = baud;
    s.m_DataBits = data;
    s.m_Parity = parity;
    s.m_FlowControl = flow;
    s.m_StopBits = stop;
    return s;
}
} // namespace

TEST(ConnectionSummary, SerialPortsGiveSixLines) {
    EXPECT_EQ(connectionSummary(serial(5, "COM3", 115200, 8, 0, 1, 0)),
              "KORVA30 - COM3\r\nBaud : 115200\r\nData : 8 bit\r\nNone Parity\r\n"
              "H/W Flow control\r\nOne Stop Bit");
    EXPECT_EQ(connectionSummary(serial(2, "COM1", 9600, 7, 1, 2, 1)),
              "KORVA10 - COM1\r\nBaud : 9600\r\nData : 7 bit\r\nOdd Parity\r\n"
              "S/W Flow control\r\n1.5 Stop Bits");
    EXPECT_EQ(connectionSummary(serial(3, "/dev/ttyUSB0", 38400, 8, 2, 3, 2)),
              "KORVA20 - /dev/ttyUSB0\r\nBaud : 38400\r\nData : 8 bit\r\nEven Parity\r\n"
              "None Flow control\r\nTwo Stop Bits");
}

TEST(ConnectionSummary, OtherPortsGivePrefixAndName) {
    ConnectionSettings s;
    s.m_ModelKind = 6;
    s.m_PortName = "LPT1";
    EXPECT_EQ(connectionSummary(s), "KORVA40 - LPT1");
    s.m_ModelKind = 4;
    s.m_PortName = "ETHERNET_II";
    EXPECT_EQ(connectionSummary(s), "KORVA40i - ETHERNET_II");
    s.m_ModelKind = 1;
    s.m_PortName = "FILE";
    EXPECT_EQ(connectionSummary(s), "KORVA20 - FILE");
    s.m_PortName = "USB";
    EXPECT_EQ(connectionSummary(s), "KORVA \r\nUSB-II Interface");
}
