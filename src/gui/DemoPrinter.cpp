#include "gui/DemoPrinter.h"

#include "sim/VirtualPrinter.h"

namespace korva {

DemoPrinter::DemoPrinter() = default;
DemoPrinter::~DemoPrinter() = default;

bool DemoPrinter::start(const std::string& model, std::string& error) {
    SimOptions options;
    options.model = model;
    options.serial = true;
    options.parallel = true;
    options.usb = true;
    options.tcpPort = 0;
    // A demo should not make the user wait the printer's full restart after Set Value.
    options.leaveBusyMs = 500;
    m_printer = std::make_unique<VirtualPrinter>(options);
    if (!m_printer->start(error)) {
        m_printer.reset();
        return false;
    }
    m_model = model;
    return true;
}

DeviceRoots DemoPrinter::roots() const {
    if (!m_printer)
        return {};
    return {m_printer->sysRoot(), m_printer->devRoot()};
}

std::string DemoPrinter::parallelPortName() const {
    return m_printer ? "LPT:" + m_printer->parallelPath() : "";
}

std::string DemoPrinter::serialPath() const {
    return m_printer ? m_printer->serialPath() : "";
}

int DemoPrinter::tcpPort() const {
    return m_printer ? m_printer->tcpPort() : -1;
}

} // namespace korva
