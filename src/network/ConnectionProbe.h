#pragma once
// Checks that a network printer accepts a TCP connection before a tool sends to it: closes,
// creates and connects the socket to settings.ipAddress and settings.acceptedPort, then up to
// kProbeAttempts times waits kProbeIntervalMs on the Clock and sends zero bytes; a result of 0
// means the link is up (true). Any other result closes, re-creates and re-connects the socket
// and counts a failure; after ten failures the printer is unreachable (false). The socket is
// left as the probe ended (connected on success). Owner's thread only.
#include "network/EthernetSettings.h"

namespace korva {

class Clock;
class PrinterSocket;

constexpr int kProbeAttempts = 10;
constexpr int kProbeIntervalMs = 50;

bool connectionProbe(PrinterSocket& socket, const EthernetSettings& settings, Clock& clock);

} // namespace korva
