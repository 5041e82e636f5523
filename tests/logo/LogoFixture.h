#pragma once
// What the logo controllers need, on virtual time: a CPorts whose FILE port writes into a
// temporary folder, a socket, a scripted prompter, an error log and a profile.
#include "app/ModelRules.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/RecordingPrompter.h"
#include "base/TimerHost.h"
#include "comm/CPorts.h"
#include "logo/BmpWriter.h"
#include "logo/LogoLink.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace korva::test {

class LogoFixture : public ::testing::Test {
protected:
    LogoFixture()
        : ports(log, catalogue, prompter, clock), socket(log, catalogue, prompter),
          profile(dir.file("korvaset.INI"), &log),
          timers(clock, relay), context{ports,     socket,   ethernet, log,
                                        catalogue, prompter, clock,    ModelKindKorva40} {
        log.Open(dir.file("error.log"));
        ports.m_BaudRate = 115200;
        ports.m_DataBits = 8;
        ports.m_Parity = 0;
        ports.m_FlowControl = 3;
        ports.m_ModelKind = ModelKindKorva40;
    }

    // A w x h bitmap with a diagonal pattern, written to name.
    std::string bitmap(const std::string& name, int w, int h, BmpLayout layout = BmpLayout::Bits1) {
        Picture p = makePicture(w, h, {{0, 0, 0, 0}, {255, 255, 255, 0}},
                                [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 1; });
        std::vector<std::uint8_t> bmp = writeBmp(p, layout);
        std::ofstream(dir.file(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bmp.data()),
                   static_cast<std::streamsize>(bmp.size()));
        return dir.file(name);
    }

    std::vector<std::uint8_t> readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Fires timers until the controller's dialog has closed (or nothing runs any more).
    template <typename Controller> void runDialog(Controller& c) {
        relay.target = &c;
        while (!c.dialogClosed() && timers.fireNext()) {
        }
        relay.target = nullptr;
    }

    TempDir dir;
    ErrorLog log;
    MessageCatalogue catalogue;
    RecordingPrompter prompter;
    VirtualClock clock;
    CPorts ports;
    PrinterSocket socket;
    EthernetSettings ethernet;
    Profile profile;
    TimerRelay relay;
    TimerQueue timers;
    LogoContext context;
};

} // namespace korva::test
