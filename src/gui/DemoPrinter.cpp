#include "gui/DemoPrinter.h"

#include "gui/DemoLogos.h"
#include "sim/VirtualPrinter.h"

#include <QDir>
#include <QTemporaryDir>

namespace korva {

DemoPrinter::DemoPrinter() = default;
DemoPrinter::~DemoPrinter() = default;

bool DemoPrinter::start(const std::string& model, std::string& error, const std::string& printout) {
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/korvaset-demo-XXXXXX");
    if (!m_folder->isValid()) {
        error = "cannot create a temporary folder: " + m_folder->errorString().toStdString();
        return false;
    }
    m_printout = printout.empty() ? m_folder->filePath("printout").toStdString() : printout;
    if (!QDir().mkpath(QString::fromStdString(m_printout))) {
        error = "cannot create " + m_printout;
        return false;
    }
    const QStringList logos = writeDemoLogos(m_folder->filePath("logos"));
    if (logos.isEmpty()) {
        error = "cannot write the sample logos into " + m_folder->path().toStdString();
        return false;
    }
    m_logos.clear();
    for (const QString& path : logos)
        m_logos.push_back(path.toStdString());

    SimOptions options;
    options.model = model;
    options.serial = true;
    options.parallel = true;
    options.usb = true;
    options.tcpPort = 0;
    // The network settings window finds it by a loopback broadcast (127.255.255.255).
    options.udpAddress = "127.0.0.2";
    // A demo should not make the user wait the printer's full restart after Set Value.
    options.leaveBusyMs = 500;
    options.outDir = m_printout;
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

std::string DemoPrinter::logoFolder() const {
    return m_folder ? m_folder->filePath("logos").toStdString() : "";
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
