#pragma once
// The running virtual printer behind VirtualPrinter: it creates the links and serves all of
// them from one I/O thread with poll(), so the printer's state has one writer; report() reads
// it under the printer's lock from any thread. See VirtualPrinter.h for the contract.
#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <nlohmann/json.hpp>

#include "sim/FakeSysfs.h"
#include "sim/LinkChannel.h"
#include "sim/PrinterCore.h"
#include "sim/SimOptions.h"
#include "sim/UniqueFd.h"

namespace korva {

class SimEngine {
public:
    // The TCP receive buffer of a printer whose link fails on purpose (--close-after,
    // --stall-after).
    static constexpr int kFaultReceiveBuffer = 8192;

    explicit SimEngine(SimOptions options);
    ~SimEngine();
    SimEngine(const SimEngine&) = delete;
    SimEngine& operator=(const SimEngine&) = delete;

    bool start(std::string& error);
    void stop();
    bool running() const { return m_running.load(); }

    const std::string& serialPath() const { return m_serialPath; }
    const std::string& parallelPath() const { return m_parallelPath; }
    const std::string& usbPath() const { return m_usbPath; }
    int tcpPort() const { return m_tcpPort; }
    const std::string& udpEndpoint() const { return m_udpEndpoint; }
    const std::string& sysRoot() const { return m_sysRoot; }
    const std::string& devRoot() const { return m_devRoot; }
    std::vector<std::string> linkLines() const;

    nlohmann::json report() const;
    nlohmann::json linksJson() const;

private:
    bool openPty(const char* name, bool usbEscape, std::string& path, std::string& error);
    bool openTcp(std::string& error);
    bool openUdp(std::string& error);
    void loop();
    void acceptClients(std::int64_t nowMs);
    void serveUdp(int fd);
    // A datagram of the kind SimOptions::udpNoise names, made from a search answer.
    std::vector<std::uint8_t> noiseDatagram(const std::string& kind,
                                            const std::vector<std::uint8_t>& answer);

    SimOptions m_options;
    std::unique_ptr<PrinterCore> m_core;
    std::vector<std::unique_ptr<LinkChannel>> m_links; // the I/O thread's once started
    UniqueFd m_listen;
    UniqueFd m_udp;
    UniqueFd m_udpBroadcast; // 127.255.255.255 at the record port: loopback broadcasts
    sockaddr_in m_udpAddress{};
    UniqueFd m_wake; // eventfd: stop() wakes the loop through it
    std::unique_ptr<FakeSysfs> m_sysfs;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopping{false};
    bool m_started = false;
    int m_tcpClients = 0;
    unsigned m_seed;
    std::minstd_rand m_noiseRandom{m_options.seed};

    std::string m_serialPath, m_parallelPath, m_usbPath, m_udpEndpoint, m_sysRoot, m_devRoot;
    int m_tcpPort = -1;
};

} // namespace korva
