#pragma once
// The network printer's address, kept for the whole run. acceptedPort is the port that last
// passed the range test of the network screen's OK; the tools connect to it.
#include <string>

namespace korva {

struct EthernetSettings {
    std::string ipAddress = "192.168.0.254";
    int port = 6001;
    int acceptedPort = 6001;
};

} // namespace korva
