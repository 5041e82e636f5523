#pragma once
// The printer and port chosen on the selection screen. Not persisted: each run starts from
// these defaults. -1 means "not chosen" for the serial parameters.
#include <string>

namespace korva {

struct ConnectionSettings {
    std::string m_PortName;  // COM3, LPT1, /dev/ttyUSB0, "USB", "FILE", "ETHERNET_II", "WIFI"
    int m_BaudRate = -1;
    int m_DataBits = -1;     // 5..8
    int m_Parity = -1;       // 0 none, 1 odd, 2 even
    int m_StopBits = 0;      // 0 one, 1 one and a half, 2 two
    int m_FlowControl = -1;  // 1 H/W, 2 S/W, 3 NONE
    int m_ModelKind = 0;     // see app/ModelRules.h
};

} // namespace korva
