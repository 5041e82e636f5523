#pragma once
// The "Ethernet-II Network Setting" screen's behaviour, without any window: the printer search by
// one broadcast, the list of answers, the row click that fills the fields, and the settings
// change (the new settings record, the wait for an answer, the record sent after it), with every
// message in English or Korean. The desktop window and korvactl net share it.
//
// The waits run in steps: searchPrinter() and changeSetting() send and return at once with the
// view busy; the owner then calls step(ms) until it returns false. Each step waits at most its
// ms for datagrams, so a window stays responsive; run() does all steps for a caller that may
// block. A datagram received restarts the receive time-out (NetLinkOptions::waitMs). At most 254
// datagrams are received per search; all of them count, listed or not. A printer answers every
// request it hears, so a search sent to several destinations lists the answers of one sender
// with one MAC address once; to one destination, every answer is a row. A search request or
// settings record that cannot be sent shows the System Error message and leaves the view idle:
// there is nothing to wait for.
//
// User-interface thread only. The sockets exist from searchPrinter()/changeSetting() to the end
// of the operation.
#include "network/NetConfigLink.h"
#include "network/NetConfigRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korva {

class Clock;
class ErrorLog;
class MessageCatalogue;
class Prompter;

struct NetSettingRow {
    NetConfigRecord record;
    std::string from; // the sender's address
    std::string ipText, portText, subnetText, gatewayText, macText;
};

struct NetSettingView {
    enum class Activity { Idle, Searching, Changing };

    std::string title = "Ethernet-II Network Setting";
    std::string searchCaption = "Search Printer";
    std::string changeCaption = "Change Setting";
    std::string exitCaption = "EXIT";
    std::vector<std::string> columns{"IP", "Port", "Subnet", "Gateway", "Mac Address"};
    std::string ipLabel = "IP";
    std::string subnetLabel = "Subnet";
    std::string gatewayLabel = "Gateway";
    std::string portLabel = "PORT";
    std::string dhcpLabel = "DHCP";

    std::vector<NetSettingRow> rows;
    int lastAdded = -1; // the row to scroll into view

    std::string ipField, subnetField, gatewayField;
    int portField = 0;
    bool dhcpField = false;
    std::string selectedMac; // empty until a row is clicked

    bool changeEnabled = false;
    Activity activity = Activity::Idle;
    std::string statusText; // what the screen is waiting for; empty when idle
};

class NetSettingScreen {
public:
    static constexpr int kMaxDatagrams = 254;

    // How the last search or change ended, for a caller that reports it (korvactl's status).
    struct Outcome {
        bool refused = false;   // change: a field was refused; no socket was opened
        bool socketsOk = false; // every socket step succeeded and every record went out
        bool confirmed = false; // change: the question was answered Yes
        bool answered = false;  // change: a datagram came from another address
        int received = 0;       // datagrams received
        // Of them: own datagrams, datagrams that are not 35 bytes, and (with several
        // destinations) repeats of a listed printer's answer.
        int ignored = 0;
    };

    NetSettingScreen(const MessageCatalogue& catalogue, Prompter& prompter, Clock& clock,
                     ErrorLog& log, NetLinkOptions options = {});

    void open(std::uint16_t langId);

    void searchPrinter();
    // row: the clicked row, -1 when the click was not on a row.
    void clickRow(int row);
    // The fields as the window holds them; the MAC is the selected row's (or, from the command
    // line, the typed one). Everything is checked before any socket opens.
    void changeSetting(const std::string& ip, const std::string& subnet, const std::string& gateway,
                       int port, bool dhcp);
    void setSelectedMac(const std::string& mac) { m_view.selectedMac = mac; }

    // One step of the running search or change: waits at most maxWaitMs. False when idle.
    bool step(int maxWaitMs);
    void run(); // steps until idle
    bool busy() const { return m_view.activity != NetSettingView::Activity::Idle; }

    const NetSettingView& view() const { return m_view; }
    const Outcome& outcome() const { return m_outcome; }
    const NetLinkOptions& options() const { return m_options; }
    void setOptions(const NetLinkOptions& options) { m_options = options; }

private:
    bool setUpSockets(bool search);
    void take(const std::vector<std::uint8_t>& datagram, const std::string& from);
    void finishSearch();
    void finishChange();
    const char* pick(const char* english, const char* korean) const {
        return m_korean ? korean : english;
    }

    const MessageCatalogue& m_catalogue;
    Prompter& m_prompter;
    Clock& m_clock;
    ErrorLog& m_log;
    NetLinkOptions m_options;
    NetConfigLink m_link;
    NetSettingView m_view;
    Outcome m_outcome;
    NetConfigRecord m_change;
    std::int64_t m_deadline = 0;
    int m_ownDuringChange = 0;
    bool m_korean = false;
};

} // namespace korva
