#include "network/ConnectionProbe.h"

#include "base/Clock.h"
#include "network/PrinterSocket.h"

namespace korva {

namespace {

void reconnect(PrinterSocket& socket, const EthernetSettings& settings) {
    socket.Close();
    if (socket.Create())
        socket.Connect(settings.ipAddress, settings.acceptedPort);
}

} // namespace

bool connectionProbe(PrinterSocket& socket, const EthernetSettings& settings, Clock& clock) {
    reconnect(socket, settings);
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        clock.sleepMs(kProbeIntervalMs);
        if (socket.Send(nullptr, 0) == 0)
            return true;
        reconnect(socket, settings);
    }
    return false;
}

} // namespace korva
