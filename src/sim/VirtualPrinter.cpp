#include "sim/VirtualPrinter.h"

#include <chrono>
#include <thread>

#include "sim/PrinterCore.h"
#include "sim/SimEngine.h"
#include "sim/StreamDecoder.h"

namespace korva {

VirtualPrinter::VirtualPrinter(SimOptions options)
    : m_engine(std::make_unique<SimEngine>(std::move(options))) {}

VirtualPrinter::~VirtualPrinter() = default;

bool VirtualPrinter::start(std::string& error) {
    return m_engine->start(error);
}
void VirtualPrinter::stop() {
    m_engine->stop();
}
bool VirtualPrinter::running() const {
    return m_engine->running();
}

std::string VirtualPrinter::serialPath() const {
    return m_engine->serialPath();
}
std::string VirtualPrinter::parallelPath() const {
    return m_engine->parallelPath();
}
std::string VirtualPrinter::usbPath() const {
    return m_engine->usbPath();
}
int VirtualPrinter::tcpPort() const {
    return m_engine->tcpPort();
}
std::string VirtualPrinter::udpEndpoint() const {
    return m_engine->udpEndpoint();
}
std::string VirtualPrinter::sysRoot() const {
    return m_engine->sysRoot();
}
std::string VirtualPrinter::devRoot() const {
    return m_engine->devRoot();
}
std::vector<std::string> VirtualPrinter::linkLines() const {
    return m_engine->linkLines();
}

nlohmann::json VirtualPrinter::report() const {
    return m_engine->report();
}

bool VirtualPrinter::waitFor(const std::function<bool(const nlohmann::json&)>& predicate,
                             int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (predicate(report()))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
}

nlohmann::json VirtualPrinter::decodeCapture(std::span<const std::uint8_t> stream,
                                             const SimOptions& options) {
    int netPort = options.netPort >= 0 && options.netPort <= 65535 ? options.netPort : 6001;
    PrinterCore core(options, netPort);
    StreamDecoder decoder(core, "file", nullptr, false);
    // Fed in pieces, as a link would deliver it; the decoder does not depend on the cuts.
    constexpr std::size_t kPiece = 65536;
    for (std::size_t at = 0; at < stream.size(); at += kPiece)
        decoder.feed(stream.subspan(at, std::min(kPiece, stream.size() - at)), 0);
    decoder.finish();
    nlohmann::json links = {{"serial", ""},  {"parallel", ""}, {"usb", ""}, {"sysRoot", ""},
                            {"devRoot", ""}, {"tcp", -1},      {"udp", ""}};
    return core.report(links);
}

} // namespace korva
