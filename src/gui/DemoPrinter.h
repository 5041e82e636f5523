#pragma once
// The virtual printer of demo mode, run inside the program: a serial pseudo-terminal (also
// declared as the first USB virtual serial port), a parallel pseudo-terminal, the USB
// printer-class stand-in with its fake sysfs tree, and TCP on 127.0.0.1. Discovery is pointed
// at its tree (roots()), so the selection screen offers its ports as it would a real printer's.
// It draws every NV image it stores and every image it prints as a PNG file in its printout
// folder, and keeps a few sample logo bitmaps for the logo tool.
#include "comm/DeviceRoots.h"

#include <memory>
#include <string>
#include <vector>

class QTemporaryDir;

namespace korva {

class VirtualPrinter;

class DemoPrinter {
public:
    DemoPrinter();
    ~DemoPrinter();
    DemoPrinter(const DemoPrinter&) = delete;
    DemoPrinter& operator=(const DemoPrinter&) = delete;

    // model: a DeviceTable name; its family decides the USB ids the printer shows. printout:
    // the folder for the printer's pictures (created when missing); "" for a private folder
    // removed with the printer. False with the reason in error when the links or folders
    // cannot be created.
    bool start(const std::string& model, std::string& error, const std::string& printout = "");

    DeviceRoots roots() const;
    std::string parallelPortName() const; // "LPT:<pty>", as the connection names a stand-in
    std::string serialPath() const;
    int tcpPort() const;
    std::string model() const { return m_model; }
    const std::string& printoutFolder() const { return m_printout; }
    // The sample bitmaps (korva-logo.bmp, tavel-badge.bmp, thank-you.bmp) and their folder.
    const std::vector<std::string>& sampleLogos() const { return m_logos; }
    std::string logoFolder() const;
    // The printer itself, for reading its report.
    const VirtualPrinter* printer() const { return m_printer.get(); }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<VirtualPrinter> m_printer;
    std::string m_printout;
    std::vector<std::string> m_logos;
    std::string m_model;
};

} // namespace korva
