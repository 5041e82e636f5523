#pragma once
// The virtual printer of demo mode, run inside the program: a serial pseudo-terminal (also
// declared as the first USB virtual serial port), a parallel pseudo-terminal, the USB
// printer-class stand-in with its fake sysfs tree, and TCP on 127.0.0.1. Discovery is pointed
// at its tree (roots()), so the selection screen offers its ports as it would a real printer's.
#include "comm/DeviceRoots.h"

#include <memory>
#include <string>

namespace korva {

class VirtualPrinter;

class DemoPrinter {
public:
    DemoPrinter();
    ~DemoPrinter();
    DemoPrinter(const DemoPrinter&) = delete;
    DemoPrinter& operator=(const DemoPrinter&) = delete;

    // model: a DeviceTable name; its family decides the USB ids the printer shows. False with
    // the reason in error when the links cannot be created.
    bool start(const std::string& model, std::string& error);

    DeviceRoots roots() const;
    std::string parallelPortName() const; // "LPT:<pty>", as the connection names a stand-in
    std::string serialPath() const;
    int tcpPort() const;
    std::string model() const { return m_model; }

private:
    std::unique_ptr<VirtualPrinter> m_printer;
    std::string m_model;
};

} // namespace korva
