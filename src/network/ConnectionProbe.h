#pragma once
// Checks that a network printer accepts a TCP connection before a tool sends to it: closes,
// creates and connects the socket to settings.ipAddress and settings.acceptedPort, waits
// settleMs on the Clock (the network screen's OK gives the connection kSettleMs to come up),
// then up to kProbeAttempts times waits kProbeIntervalMs on the Clock and sends zero bytes; a
// result of 0 means the link is up (Reachable). Any other result closes, re-creates and
// re-connects the socket and counts a failure; after ten failures the printer is unreachable.
// A socket the system will not create at the start ends the probe at once (NoSocket): no
// attempt could reach any printer. The socket is left as the probe ended (connected when
// Reachable). Owner's thread only.
#include "network/EthernetSettings.h"

namespace korva {

class Clock;
class PrinterSocket;

constexpr int kProbeAttempts = 10;
constexpr int kProbeIntervalMs = 50;
constexpr int kSettleMs = 10;

enum class ProbeResult { Reachable, Unreachable, NoSocket };

ProbeResult probeConnection(PrinterSocket& socket, const EthernetSettings& settings, Clock& clock,
                            int settleMs = 0);

// The tools' probe: true when Reachable.
bool connectionProbe(PrinterSocket& socket, const EthernetSettings& settings, Clock& clock);

} // namespace korva
