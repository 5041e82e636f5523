#pragma once
// A KORVA printer in software, served over real ports: pseudo-terminals for the serial,
// parallel and USB stand-ins, a TCP print service on 127.0.0.1 and the UDP network record
// service on a loopback address. It decodes every stream with its own code, written from the
// printer's side, and keeps a report of everything it was sent (schema: src/sim/README.md).
//
// Contract:
// - start() creates the links and starts one I/O thread that serves all of them; it returns
//   false with a reason in error when a link cannot be created (nothing keeps running then).
//   start() may be called once per object.
// - stop() ends the I/O thread (joined), closes every link and removes a private sysfs tree.
//   It is idempotent; the destructor calls it.
// - The path and port accessors are valid after a successful start() and stay valid (as
//   values) after stop().
// - report() and waitFor() may be called from any thread at any time; report() is a
//   consistent snapshot taken under the printer's lock.
// - waitFor() polls the report every few milliseconds until the predicate holds or timeoutMs
//   of real time have passed; it returns whether the predicate held. For tests only.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SimOptions.h"

namespace korva {

class SimEngine;

class VirtualPrinter {
public:
    explicit VirtualPrinter(SimOptions options);
    ~VirtualPrinter();
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;

    bool start(std::string& error);
    void stop();
    bool running() const;

    std::string serialPath() const;   // slave path of the serial pty ("" when not served)
    std::string parallelPath() const; // slave path of the parallel pty
    std::string usbPath() const;      // slave path of the USB printer-class pty
    int tcpPort() const;              // the real TCP port (-1 when not served)
    std::string udpEndpoint() const;  // "127.0.0.2:2918" ("" when not served)
    std::string sysRoot() const;      // DIR/sys of the fake tree ("" without usb)
    std::string devRoot() const;      // DIR/dev of the fake tree ("" without usb)

    // The lines korva-sim prints at start, one per link, without the final "ready":
    // "serial /dev/pts/7", "parallel /dev/pts/8", "usb /dev/pts/9 sysfs DIR/sys dev DIR/dev",
    // "tcp 127.0.0.1:6001", "udp 127.0.0.2:2918".
    std::vector<std::string> linkLines() const;

    nlohmann::json report() const;
    bool waitFor(const std::function<bool(const nlohmann::json& report)>& predicate,
                 int timeoutMs) const;

    // Decodes a captured stream (for example a FILE port's output) as if it had arrived on one
    // link, with no replies and no busy time, and returns the report. Never fails: what cannot
    // be decoded is listed in the report's "undecodable" runs.
    static nlohmann::json decodeCapture(std::span<const std::uint8_t> stream,
                                        const SimOptions& options);

private:
    std::unique_ptr<SimEngine> m_engine;
};

} // namespace korva
