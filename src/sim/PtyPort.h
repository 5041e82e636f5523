#pragma once
// A pseudo-terminal as the printer's end of a serial, parallel or USB stand-in.
//
// open() creates the pair, puts the slave in raw mode (no echo, no line discipline, 8 bits)
// and keeps one slave descriptor open, so the terminal never hangs up when a client closes
// its end. The master is non-blocking; reads and writes on it are the printer's side.
#include <string>

#include "sim/UniqueFd.h"

namespace korva {

class PtyPort {
public:
    bool open(std::string& error);
    const std::string& slavePath() const { return m_slavePath; }
    // Hands the descriptors over (the master for I/O, the held slave); the port is empty then.
    UniqueFd takeMaster() { return std::move(m_master); }
    UniqueFd takeSlave() { return std::move(m_slave); }

private:
    UniqueFd m_master;
    UniqueFd m_slave;
    std::string m_slavePath;
};

} // namespace korva
