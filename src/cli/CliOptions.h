#pragma once
// The options every korvactl command shares: which printer, which port, how to answer questions.
#include <string>

namespace korva::cli {

struct CliOptions {
    std::string model = "KORVA40S"; // a DeviceTable model name
    std::string port;               // device path, COMn, LPTn, USB, ETHERNET_II or FILE:NAME
    int baud = 0;                   // 0: the model's first Baudrate item (ModelRules)
    int dataBits = 8;
    std::string parity = "none";    // none|odd|even
    int stopBits = 1;               // 1|2
    std::string flow = "hw";        // hw|sw|none
    std::string ip = "192.168.0.254";
    int tcpPort = 6001;
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::string lang;               // language id ("0x0412"); empty: from the environment
    bool yes = false;               // answer Yes to every question
};

} // namespace korva::cli
