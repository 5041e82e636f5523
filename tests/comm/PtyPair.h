#pragma once
// A pseudo-terminal pair for port tests: the test holds the master side (the "printer"), the
// code under test opens slavePath() as its port. The master is raw, so bytes pass unchanged.
#include "comm/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korva::test {

class PtyPair {
public:
    PtyPair();
    bool ok() const { return m_master.valid() && !m_slavePath.empty(); }
    int master() const { return m_master.get(); }
    const std::string& slavePath() const { return m_slavePath; }

    // Writes all bytes to the master (the code under test reads them from the slave).
    bool send(const std::vector<std::uint8_t>& data);
    // Reads from the master until count bytes arrived or timeoutMs passed; returns what came.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs = 1000);
    // Everything that arrives within timeoutMs.
    std::vector<std::uint8_t> drain(int timeoutMs = 20);
    // Closes the master: the slave side sees a hang-up, writes to it fail with EIO.
    void closeMaster() { m_master.reset(); }

private:
    UniqueFd m_master;
    std::string m_slavePath;
};

} // namespace korva::test
