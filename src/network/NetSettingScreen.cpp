#include "network/NetSettingScreen.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "network/NetworkLinkScreen.h"

#include <algorithm>

namespace korva {

namespace {

constexpr const char* kNotice = "Notice";
// A flood of datagrams still hands the window back now and then.
constexpr int kDatagramsPerStep = 32;

} // namespace

NetSettingScreen::NetSettingScreen(const MessageCatalogue& catalogue, Prompter& prompter,
                                   Clock& clock, ErrorLog& log, NetLinkOptions options)
    : m_catalogue(catalogue), m_prompter(prompter), m_clock(clock), m_log(log),
      m_options(std::move(options)), m_link(log) {}

void NetSettingScreen::open(std::uint16_t langId) {
    m_link.close();
    m_view = NetSettingView{};
    m_korean = isKorean(langId);
    if (m_korean) {
        m_view.searchCaption = "프린터 검색";
        m_view.changeCaption = "설정 변경";
        m_view.exitCaption = "닫기";
    }
}

bool NetSettingScreen::setUpSockets(bool search) {
    NetConfigLink::Setup setup = m_link.open(m_options);
    const char* systemError = m_catalogue.text(MsgSystemError);
    if (!setup.sendSocket)
        m_prompter.message(search ? "socket() error" : systemError, kAppName, Icon::Stop,
                           Buttons::Ok);
    else if (!setup.broadcastOption)
        m_prompter.message(systemError, kAppName, Icon::Stop, Buttons::Ok);
    // The catalogue's text, then the reason, which the user can often act on (a bind address
    // that is not this PC's, another program holding the port).
    if (!setup.receiveSocket)
        m_prompter.message(std::string(systemError) + "\n" + setup.receiveFailure, kAppName,
                           Icon::Stop, Buttons::Ok);
    return setup.ok();
}

void NetSettingScreen::searchPrinter() {
    if (busy())
        return;
    m_outcome = Outcome{};
    m_outcome.socketsOk = setUpSockets(true);
    if (!m_link.send(NetConfigRecord::searchRequest())) {
        if (m_outcome.socketsOk) {
            // The request never left, so no printer can answer: waiting and then announcing a
            // finished search would report a search that did not take place.
            m_outcome.socketsOk = false;
            m_prompter.message(m_catalogue.text(MsgSystemError), kAppName, Icon::Stop, Buttons::Ok);
            m_link.close();
            return;
        }
        // The set-up failure was shown; the search runs on and ends with what it received.
    }
    m_view.rows.clear();
    m_view.lastAdded = -1;
    m_view.activity = NetSettingView::Activity::Searching;
    m_view.statusText = pick("Searching for printers...", "프린터 검색 중...");
    m_deadline = m_clock.nowMs() + m_options.waitMs;
}

void NetSettingScreen::take(const std::vector<std::uint8_t>& datagram, const std::string& from) {
    ++m_outcome.received;
    if (m_link.isOwnAddress(from)) {
        ++m_outcome.ignored;
        return;
    }
    std::optional<NetConfigRecord> record = NetConfigRecord::parse(datagram);
    if (!record) {
        ++m_outcome.ignored;
        m_log.Print("NetSettingScreen: datagram of %zu bytes from %s ignored (not 35 bytes)",
                    datagram.size(), from.c_str());
        return;
    }
    if (m_link.destinations().size() > 1) {
        // Every printer hears each destination's request and answers each: its answers to the
        // later ones repeat a row already listed.
        std::string mac = record->macText();
        bool listed =
            std::any_of(m_view.rows.begin(), m_view.rows.end(),
                        [&](const NetSettingRow& r) { return r.macText == mac && r.from == from; });
        if (listed) {
            ++m_outcome.ignored;
            return;
        }
    }
    NetSettingRow row{*record,
                      from,
                      record->ipText(),
                      record->portText(),
                      record->maskText(),
                      record->gatewayText(),
                      record->macText()};
    m_view.rows.push_back(std::move(row));
    m_view.lastAdded = static_cast<int>(m_view.rows.size()) - 1;
}

bool NetSettingScreen::step(int maxWaitMs) {
    if (!busy())
        return false;
    bool searching = m_view.activity == NetSettingView::Activity::Searching;
    for (int taken = 0; taken < kDatagramsPerStep; ++taken) {
        std::int64_t left = m_deadline - m_clock.nowMs();
        if (left <= 0) {
            searching ? finishSearch() : finishChange();
            return false;
        }
        std::vector<std::uint8_t> datagram;
        std::string from;
        NetConfigLink::Received got = m_link.receive(
            static_cast<int>(std::min<std::int64_t>(left, maxWaitMs)), datagram, from);
        if (got == NetConfigLink::Received::Failed) {
            searching ? finishSearch() : finishChange();
            return false;
        }
        if (got == NetConfigLink::Received::Silence)
            return true;
        m_deadline = m_clock.nowMs() + m_options.waitMs;
        if (searching) {
            take(datagram, from);
            if (m_outcome.received >= kMaxDatagrams) {
                finishSearch();
                return false;
            }
        } else {
            ++m_outcome.received;
            if (!m_link.isOwnAddress(from)) {
                m_outcome.answered = true;
                finishChange();
                return false;
            }
            ++m_outcome.ignored;
            if (++m_ownDuringChange >= kMaxDatagrams) {
                finishChange();
                return false;
            }
        }
    }
    return true;
}

void NetSettingScreen::run() {
    while (step(m_options.waitMs)) {
    }
}

void NetSettingScreen::finishSearch() {
    m_view.activity = NetSettingView::Activity::Idle;
    m_view.statusText.clear();
    m_prompter.message(m_catalogue.text(MsgSearchFinished), kAppName, Icon::Information,
                       Buttons::Ok);
    m_link.close();
}

void NetSettingScreen::clickRow(int row) {
    if (busy())
        return;
    if (row < 0 || row >= static_cast<int>(m_view.rows.size())) {
        m_view.changeEnabled = false;
        return;
    }
    const NetSettingRow& r = m_view.rows[static_cast<std::size_t>(row)];
    m_view.ipField = dottedText(r.record.ip());
    // The IP column carries " (DHCP)" exactly when the record's flag is set.
    std::size_t d = r.ipText.find('D');
    m_view.dhcpField = d != std::string::npos && d > 0;
    m_view.portField = r.record.port();
    m_view.subnetField = r.subnetText;
    m_view.gatewayField = r.gatewayText;
    m_view.selectedMac = r.macText;
    m_view.changeEnabled = true;
}

void NetSettingScreen::changeSetting(const std::string& ip, const std::string& subnet,
                                     const std::string& gateway, int port, bool dhcp) {
    if (busy())
        return;
    m_outcome = Outcome{};
    m_view.ipField = ip;
    m_view.subnetField = subnet;
    m_view.gatewayField = gateway;
    m_view.portField = port;
    m_view.dhcpField = dhcp;
    Ip4 ipBytes{}, maskBytes{}, gatewayBytes{};
    if (!parseDotted(ip, ipBytes) || !parseDotted(subnet, maskBytes) ||
        !parseDotted(gateway, gatewayBytes)) {
        m_prompter.message(pick("Please enter the IP, Subnet and Gateway addresses as four numbers "
                                "from 0 to 255 (such as 192.168.0.100).",
                                "IP, Subnet, Gateway 주소는 0 ~ 255 사이의 숫자 4개로 입력해 "
                                "주십시오. (예: 192.168.0.100)"),
                           kAppName, Icon::Exclamation, Buttons::Ok);
        m_outcome.refused = true;
        return;
    }
    MacAddress mac{};
    if (!parseMacText(m_view.selectedMac, mac)) {
        m_prompter.message(pick("The MAC address must be six groups of two hexadecimal digits "
                                "(such as 00:1A:2B:3C:4D:5E). Nothing was sent.",
                                "MAC 주소는 두 자리 16진수 6개로 입력해 주십시오. (예: "
                                "00:1A:2B:3C:4D:5E) 아무것도 보내지 않았습니다."),
                           kAppName, Icon::Exclamation, Buttons::Ok);
        m_outcome.refused = true;
        return;
    }
    if (!NetworkLinkScreen::portAllowed(port)) {
        m_prompter.message(m_catalogue.text(MsgPortRange), kAppName, Icon::Exclamation,
                           Buttons::Ok);
        m_outcome.refused = true;
        return;
    }
    m_change = NetConfigRecord::settings(NetConfigRecord::kNewSettings, ipBytes, maskBytes,
                                         gatewayBytes, mac, dhcp, static_cast<std::uint16_t>(port));
    bool socketsOk = setUpSockets(false);
    if (!socketsOk) {
        // Nothing could reach the printer: the change ends here rather than claim completion.
        m_link.close();
        m_view.changeEnabled = false;
        return;
    }
    if (m_prompter.message(m_catalogue.text(MsgConfirmNetworkChange), kNotice, Icon::Question,
                           Buttons::YesNo) != Answer::Yes) {
        m_link.close();
        m_view.changeEnabled = false;
        return;
    }
    m_outcome.confirmed = true;
    if (!m_link.send(m_change)) {
        m_prompter.message(m_catalogue.text(MsgSystemError), kAppName, Icon::Stop, Buttons::Ok);
        m_link.close();
        m_view.changeEnabled = false;
        return;
    }
    m_outcome.socketsOk = true;
    m_ownDuringChange = 0;
    m_view.activity = NetSettingView::Activity::Changing;
    m_view.statusText =
        pick("Waiting for the printer's answer...", "프린터의 응답을 기다리는 중...");
    m_deadline = m_clock.nowMs() + m_options.waitMs;
}

void NetSettingScreen::finishChange() {
    m_view.activity = NetSettingView::Activity::Idle;
    m_view.statusText.clear();
    m_change.setCommand(NetConfigRecord::kAfterSettings);
    if (m_link.send(m_change)) {
        m_prompter.message(m_catalogue.text(MsgUpdateCompleteNetwork), kNotice, Icon::Information,
                           Buttons::Ok);
    } else {
        m_outcome.socketsOk = false;
        m_prompter.message(m_catalogue.text(MsgSystemError), kAppName, Icon::Stop, Buttons::Ok);
    }
    m_link.close();
    m_view.changeEnabled = false;
}

} // namespace korva
