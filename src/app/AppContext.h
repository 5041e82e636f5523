#pragma once
// The one application context of a run: the error log, the profile, the message catalogue and
// language, the printer connection (CPorts), the network printer's address and its TCP link.
// The desktop program and korvactl each build one and pass its parts by reference; nothing of
// it is global. The Clock and the Prompter belong to the program (real or virtual time, real
// dialogs or the console) and must outlive the context.
//
// Destruction closes the socket and the connection (joining their threads), then the log.
#include "base/ErrorLog.h"
#include "base/FileVersion.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "comm/CPorts.h"
#include "comm/DeviceRoots.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"

#include <cstdint>
#include <string>

namespace korva {

class Clock;
class Prompter;

class AppContext {
public:
    // The profile file shared by the desktop program and korvactl.
    static constexpr const char* kProgramName = "korvaset";

    // profilePath "" means "korvaset.INI" in the working directory. The catalogue's language
    // is chosen from langId at once.
    AppContext(Clock& clock, Prompter& prompter, std::uint16_t langId, DeviceRoots roots = {},
               std::string profilePath = "");
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // Creates "error.log" in the working directory anew and writes its header line
    // ("ERROR LOG : Tool - Ver 1.0.0.3"). False when the file cannot be created (the log then
    // stays closed and the program runs on).
    bool openErrorLog(const FileVersion& version);

    bool korean() const { return catalogue.korean(); }

    ErrorLog log;
    MessageCatalogue catalogue;
    Profile profile;
    const std::uint16_t langId;
    Clock& clock;
    Prompter& prompter;
    CPorts ports;
    EthernetSettings ethernet;
    PrinterSocket socket;
};

} // namespace korva
