#pragma once
// The printer and port selection screen's behaviour, without any window: what its lists hold,
// what is enabled, which message is shown, what OK stores in the connection settings.
//
// The window (or a test) calls initialise() once, then forwards the user's choices with
// select() and ok(), and renders view() after every call. Everything runs on the caller's
// thread (the user-interface thread); the USB search sleeps on the given Clock for up to
// 16 x 250 ms and calls SelectionHost::showTitle between tries so the window can repaint.
#include "base/FileVersion.h"
#include "comm/ConnectionSettings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korva {

class Clock;
class ErrorLog;
class MessageCatalogue;
class Profile;
class Prompter;

// "1.03" for file version 1.0.0.3: major, ".", minor, then build (left out while 0) and
// revision, digits run together.
std::string versionText(const FileVersion& version);
// "KORVASet 1.03E".
std::string selectionTitle(const FileVersion& version);

// One drop-down list as the window shows it.
struct ComboView {
    std::vector<std::string> items;
    int selected = -1; // -1: nothing chosen
    bool enabled = true;

    std::string text() const; // the chosen item, "" when none
};

struct SelectionView {
    std::string title;
    std::string deviceLabel = "DEVICE";
    std::string portLabel = "PORT";
    std::string baudLabel = "Baudrate";
    std::string parityLabel = "Parity";
    std::string dataLabel = "Data Length";
    std::string flowLabel = "Flow control";
    std::string stopLabel = "Stop Bit";
    std::string okCaption = "OK";
    std::string cancelCaption = "Cancel";

    ComboView device, port, baud, parity, dataLength, flow, stopBit;
    bool okEnabled = false;
};

// What the screen asks the PC. Missing functions count as "nothing found".
struct SelectionDiscovery {
    // kind 0 serial, 1 parallel: appends the port names found, returns how many.
    std::function<int(int kind, std::vector<std::string>& names)> enumeratePorts;
    // Present USB printers whose hardware id begins with prefix; -1 for none.
    std::function<int(const std::string& prefix)> countUsbPrinters;
    // The first USB virtual serial port whose id begins with prefix; "" for none.
    std::function<std::string(const std::string& prefix)> findUsbSerialPort;
};

// What the screen asks of its window.
class SelectionHost {
public:
    virtual ~SelectionHost() = default;
    // Show this window title now (the USB search calls it between its sleeps).
    virtual void showTitle(const std::string& title) = 0;
    // Run the network interface screen modally; true when it ended with OK.
    virtual bool runNetworkScreen() = 0;
    // Run the main menu modally; returns when it has closed.
    virtual void runMainMenu() = 0;
};

class SelectionScreen {
public:
    enum class Combo { Device, Port, Baud, Parity, DataLength, Flow, StopBit };

    static constexpr int kUsbSearchTries = 16;
    static constexpr int kUsbSearchPauseMs = 250;

    SelectionScreen(ConnectionSettings& settings, ErrorLog& log, MessageCatalogue& catalogue,
                    Prompter& prompter, Clock& clock, const Profile& profile,
                    SelectionDiscovery discovery, SelectionHost& host);

    // Chooses the message language (0x0412 Korean), sets the title from the version, fills
    // the lists, opens "error.log" with its header line and handles a preselected model.
    void initialise(std::uint16_t langId, const FileVersion& version);

    // The user chose item index (-1 clears) of a list. DEVICE and Data Length run their rules.
    void select(Combo combo, int index);

    // OK: stores the choice and opens the next screens; does nothing while OK is disabled.
    void ok();

    const SelectionView& view() const { return m_view; }
    int modelFamilyValue() const { return m_ModelFamily; }
    int interfaceKindValue() const { return m_InterfaceKind; }

private:
    ComboView& combo(Combo which);
    void fillDeviceList();
    void addPortSorted(const std::string& name);
    void onDeviceChanged();
    void onDataLengthChanged();
    void searchUsbPrinter();
    int countFamilyPrinters();
    void setSerialListsEnabled(bool enabled);
    void fillBaudList();
    void show(int message);
    bool readSerialParameters();

    ConnectionSettings& m_settings;
    ErrorLog& m_log;
    MessageCatalogue& m_catalogue;
    Prompter& m_prompter;
    Clock& m_clock;
    const Profile& m_profile;
    SelectionDiscovery m_discovery;
    SelectionHost& m_host;

    SelectionView m_view;
    int m_ModelFamily = 0;
    int m_InterfaceKind = 0;
};

} // namespace korva
