#include "network/ConnectionProbe.h"

#include "base/Clock.h"
#include "network/PrinterSocket.h"

namespace korva {

namespace {

bool reconnect(PrinterSocket& socket, const EthernetSettings& settings) {
    socket.Close();
    if (!socket.Create())
        return false;
    socket.Connect(settings.ipAddress, settings.acceptedPort);
    return true;
}

} // namespace

ProbeResult probeConnection(PrinterSocket& socket, const EthernetSettings& settings, Clock& clock,
                            int settleMs) {
    if (!reconnect(socket, settings))
        return ProbeResult::NoSocket;
    if (settleMs > 0)
        clock.sleepMs(settleMs);
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        clock.sleepMs(kProbeIntervalMs);
        if (socket.Send(nullptr, 0) == 0)
            return ProbeResult::Reachable;
        reconnect(socket, settings);
    }
    return ProbeResult::Unreachable;
}

bool connectionProbe(PrinterSocket& socket, const EthernetSettings& settings, Clock& clock) {
    return probeConnection(socket, settings, clock) == ProbeResult::Reachable;
}

} // namespace korva
