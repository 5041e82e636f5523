#include "setup/UserSetupScreen.h"

#include "app/ModelRules.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/Prompter.h"
#include "comm/CPorts.h"
#include "comm/OpenFailure.h"
#include "network/ConnectionProbe.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"
#include "setup/CodePageList.h"
#include "setup/ReceiveBufferList.h"
#include "setup/SettingCommands.h"

#include <algorithm>
#include <cstdlib>

namespace korva {

namespace {

const char* const kNotice = "Notice";
const char* const kGetValueCmdFail = "GetValueCmd Fail!";

} // namespace

UserSetupScreen::UserSetupScreen(UserSetupContext context, TimerHost& timers)
    : m_ctx(std::move(context)), m_timers(timers), m_par(m_ctx.log, m_ctx.clock),
      m_form(m_ctx.catalogue, m_ctx.prompter, isKorean(m_ctx.langId)) {
    m_portName = m_ctx.ports.m_PortName;
    m_network = m_portName == "ETHERNET_II";
    m_kind = m_network ? PortKind::None : portKindOf(m_portName);
}

UserSetupScreen::~UserSetupScreen() {
    if (m_opened && !m_closed)
        closeLink(false);
    // Always, so no reply thread outlives the mailbox it delivers to.
    stopReplyThread();
}

// ---------------------------------------------------------------- open, link, threads

bool UserSetupScreen::open() {
    m_form.initialise(m_ctx.summary, ReceiveBufferList::load(m_ctx.profile));
    CodePageList::writeProfile(m_ctx.profile);
    m_received.fill(false);
    m_opened = true;
    if (!openLink()) {
        m_closed = true;
        return false;
    }
    m_form.applyCaptionsAndModelRules(m_ctx.ports.m_ModelKind);
    if (!getValueAllowed())
        m_form.view().getValue.enabled = false;
    return true;
}

bool UserSetupScreen::getValueAllowed() const {
    return !(m_kind == PortKind::Parallel && m_timeoutMode);
}

bool UserSetupScreen::openLink() {
    CPorts& ports = m_ctx.ports;
    if (m_kind == PortKind::Parallel) {
        if (!m_par.Open(m_portName)) {
            std::string text =
                std::string(m_ctx.catalogue.text(MsgInitFail)) + "\n" + m_par.lastErrorText() +
                "\n" + openFailureText(m_par.lastPath(), m_par.lastErrorCode(), PortKind::Parallel);
            m_ctx.prompter.message(text, kAppName, Icon::Exclamation, Buttons::Ok);
            return false;
        }
        ports.m_bConnected = 1;
        m_timeoutMode = m_par.timeoutMode();
        if (!send(SettingCommands::statusBackOff())) {
            show(MsgPrinterCheckError);
            ports.m_bConnected = 0;
            m_par.Close();
            return false;
        }
        return true;
    }
    if (m_network) {
        if (!probe()) {
            show(MsgPrinterCheckError);
            m_ctx.socket.Close();
            return false;
        }
        m_netRunning = true;
        if (!startReplyThread()) {
            show(MsgCannotCreateReceiveThread);
            m_netRunning = false;
            m_ctx.socket.Close();
            return false;
        }
        return true;
    }
    ports.m_NotifyWnd = this;
    if (ports.m_bConnected)
        ports.Close();
    if (!ports.Open()) {
        ports.m_NotifyWnd = nullptr;
        // The catalogue's text, then what a person needs: the device and the system's reason.
        std::string text = m_ctx.catalogue.text(MsgInitFail);
        if (!ports.m_OpenFailure.empty())
            text += "\n" + ports.m_OpenFailure;
        m_ctx.prompter.message(text, kAppName, Icon::Exclamation, Buttons::Ok);
        return false;
    }
    if (m_kind == PortKind::Serial || m_kind == PortKind::Usb) {
        if (!startReplyThread()) {
            show(MsgCannotCreateReceiveThread);
            ports.Close();
            ports.m_NotifyWnd = nullptr;
            return false;
        }
    }
    return true;
}

bool UserSetupScreen::startReplyThread() {
    SettingReplyThread::Source source;
    CPorts& ports = m_ctx.ports;
    if (m_kind == PortKind::Parallel) {
        source.pace = SettingReplyThread::Pace::BeforeEveryByte;
        source.pop = [this] {
            int status = 0;
            std::uint8_t byte = m_par.PopByte(status);
            return status == 1 ? static_cast<int>(byte) : -1;
        };
        source.keepRunning = [&ports] { return ports.m_bConnected.load() != 0; };
    } else if (m_network) {
        CommQueue& queue = m_ctx.socket.queue();
        source.pop = [&queue] { return queue.empty() ? -1 : static_cast<int>(queue.get()); };
        source.keepRunning = [this] { return m_netRunning.load(); };
    } else {
        source.pop = [this] { return m_ring.empty() ? -1 : static_cast<int>(m_ring.get()); };
        source.keepRunning = [&ports] { return ports.m_bConnected.load() != 0; };
    }
    m_mailbox.open();
    return m_replyThread.start(std::move(source), m_mailbox);
}

void UserSetupScreen::stopReplyThread() {
    m_replyThread.stop([this] {
        // The thread may be waiting for its reply to be applied: apply what is there, then
        // release it for good.
        pumpReplies();
        m_mailbox.close();
    });
}

void UserSetupScreen::closeLink(bool pause) {
    if (pause)
        m_ctx.clock.sleepMs(kExitPauseMs);
    CPorts& ports = m_ctx.ports;
    m_timers.kill(kTimerId);
    m_timers.kill(kCollectTimerId);
    m_lptQuerying = false;
    if (m_kind == PortKind::Parallel) {
        ports.m_bConnected = 0;
        stopReplyThread();
        m_par.Close();
    } else if (m_network) {
        m_netRunning = false;
        stopReplyThread();
        m_ctx.socket.Close();
    } else {
        // Close joins the receive thread, so no notification can reach this screen afterwards.
        if (ports.m_bConnected)
            ports.Close();
        if (ports.m_NotifyWnd == this)
            ports.m_NotifyWnd = nullptr;
        stopReplyThread();
    }
    m_closed = true;
}

// ---------------------------------------------------------------- writing

bool UserSetupScreen::send(const std::vector<std::uint8_t>& bytes) {
    const auto length = static_cast<std::uint32_t>(bytes.size());
    int written;
    if (m_kind == PortKind::Parallel)
        written = m_par.Write(bytes.data(), length);
    else if (m_network)
        written = m_ctx.socket.Send(bytes.data(), static_cast<int>(length));
    else
        written = m_ctx.ports.Write(bytes.data(), length);
    // A short write lost part of a command: the printer would misread what follows.
    return written > 0 && static_cast<std::uint32_t>(written) == length;
}

bool UserSetupScreen::sendItems(const std::vector<std::vector<std::uint8_t>>& items) {
    for (const auto& item : items)
        if (!send(item))
            return false;
    return true;
}

bool UserSetupScreen::probe() {
    return connectionProbe(m_ctx.socket, m_ctx.ethernet, m_ctx.clock);
}

void UserSetupScreen::show(int message, const char* caption) {
    m_ctx.prompter.message(m_ctx.catalogue.text(message), caption ? caption : kAppName,
                           caption ? Icon::Information : Icon::Exclamation, Buttons::Ok);
}

Answer UserSetupScreen::ask(const std::string& text, const char* caption) {
    return m_ctx.prompter.message(text, caption, Icon::Question, Buttons::YesNo);
}

void UserSetupScreen::writeFailure(int message) {
    m_failed = true;
    show(message);
    m_timers.kill(kTimerId);
    m_timers.kill(kCollectTimerId);
    bool resetEdits = true;
    if (m_kind == PortKind::Parallel) {
        m_ctx.ports.m_bConnected = 0;
        resetEdits = false;
    } else if (m_network) {
        m_ctx.socket.Close();
    } else {
        m_ctx.ports.Close();
    }
    m_form.disableAfterFailure(resetEdits);
}

// ---------------------------------------------------------------- Get Value

const std::vector<std::uint8_t>& UserSetupScreen::queryList() const {
    if (m_kind == PortKind::Parallel)
        return SettingCommands::parallelQueryList();
    if (m_network)
        return SettingCommands::networkQueryOrder();
    return SettingCommands::serialQueryOrder();
}

bool UserSetupScreen::getValue() {
    if (m_closed || !view().getValue.enabled)
        return false;
    if (m_kind == PortKind::Parallel)
        return getValueParallel();
    pumpReplies();
    m_received.fill(false);
    bool sent = m_network ? getValueNetwork() : getValueSerial();
    if (sent) {
        m_lastReplyMs = m_ctx.clock.nowMs();
        m_timers.start(kCollectTimerId, kCollectTickMs);
    }
    return sent;
}

void UserSetupScreen::collectTick() {
    pumpReplies();
    const auto& asked = queryList();
    std::string missing;
    for (std::uint8_t n : asked)
        if (!m_received[n])
            missing += (missing.empty() ? "" : ", ") + rowCaption(n);
    const std::int64_t quiet = m_ctx.clock.nowMs() - m_lastReplyMs;
    if (m_closed || m_failed || missing.empty()) {
        m_timers.kill(kCollectTimerId);
        return;
    }
    if (quiet >= kCollectQuietMs) {
        m_timers.kill(kCollectTimerId);
        const bool korean = isKorean(m_ctx.langId);
        m_ctx.prompter.message(
            (korean ? "프린터가 응답하지 않은 설정: " : "No answer from the printer for: ") +
                missing,
            kAppName, Icon::Exclamation, Buttons::Ok);
        return;
    }
    // USB: replies that came after the collection's passes wait in the device until read.
    if (m_kind == PortKind::Usb)
        collectLateReplies();
}

std::string UserSetupScreen::rowCaption(std::uint8_t number) const {
    const UserSetupView& v = view();
    const LabelView* label = nullptr;
    switch (number) {
    case SetPaperWidth:
        label = &v.paperWidthLabel;
        break;
    case SetPaperType:
        label = &v.paperTypeLabel;
        break;
    case SetColorDensity:
        return "2Color density";
    case SetWaterMark:
        label = &v.waterMarkLabel;
        break;
    case SetCutPosition:
        label = &v.cutPositionLabel;
        break;
    case SetDrawerWithCut:
        label = &v.drawerWithCutLabel;
        break;
    case SetBellTypeTimes:
        label = &v.bellTypeLabel;
        break;
    case SetCodePage:
        label = &v.codePageLabel;
        break;
    case SetCuttingMode:
        label = &v.cuttingModeLabel;
        break;
    case SetBoldKorean:
        return "Bold Korean Font";
    case SetPrintSpeed:
        label = &v.speedLabel;
        break;
    case SetLeftMargin:
        label = &v.marginLabel;
        break;
    case SetDrawerSelfTest:
        label = &v.drawerSelfTestLabel;
        break;
    case SetReceiveBuffer:
        label = &v.receiveBufferLabel;
        break;
    case SetStopBit:
        label = &v.stopBitLabel;
        break;
    case SetNvUserMemory:
        label = &v.nvUserLabel;
        break;
    case SetNvGraphicMemory:
        label = &v.nvGraphicLabel;
        break;
    case SetSetupCode:
        label = &v.setupCodeLabel;
        break;
    default:
        return std::to_string(number);
    }
    std::string text = label->text;
    // "&&" is the window's escape for a plain "&".
    for (std::size_t at = text.find("&&"); at != std::string::npos; at = text.find("&&", at + 1))
        text.erase(at, 1);
    return text;
}

bool UserSetupScreen::getValueSerial() {
    for (std::uint8_t n : SettingCommands::serialQueryOrder()) {
        if (!send(SettingCommands::query(n))) {
            writeFailure(MsgWriteFail);
            return false;
        }
    }
    if (m_kind == PortKind::Usb)
        m_ctx.ports.CollectUsbReplies();
    return true;
}

void UserSetupScreen::collectLateReplies() {
    if (!m_closed && m_kind == PortKind::Usb && m_ctx.ports.m_bConnected)
        m_ctx.ports.CollectUsbReplies();
}

bool UserSetupScreen::getValueNetwork() {
    m_replyThread.flush([this] { pumpReplies(); });
    if (!probe()) {
        writeFailure(MsgWriteFail);
        return false;
    }
    for (std::uint8_t n : SettingCommands::networkQueryOrder()) {
        if (!send(SettingCommands::query(n))) {
            writeFailure(MsgWriteFail);
            return false;
        }
    }
    return true;
}

bool UserSetupScreen::getValueParallel() {
    if (!send(SettingCommands::statusBackOff())) {
        writeFailure(MsgWriteToPortError);
        return false;
    }
    m_form.setButtons(false, getValueAllowed());
    // The query asks again every 2 s for as long as a setting goes unanswered: EXIT (and so
    // closing the window) stays the way out of a printer that never answers.
    m_form.view().exit.enabled = true;
    m_form.view().cursor = Cursor::Wait;
    for (std::uint8_t n : SettingCommands::parallelQueryList()) {
        if (!send(SettingCommands::query(n))) {
            writeFailure(MsgWriteToPortError);
            return false;
        }
        m_par.RequestRead();
    }
    if (!m_par.StartReceiver()) {
        writeFailure(MsgCannotCreateReceiveThread);
        return false;
    }
    m_received.fill(false);
    if (!startReplyThread()) {
        m_par.StopReceiver();
        writeFailure(MsgCannotCreateReceiveThread);
        return false;
    }
    m_lptQuerying = true;
    m_timers.start(kTimerId, kFirstCheckMs);
    return true;
}

void UserSetupScreen::onTimer(int id) {
    if (id == kCollectTimerId) {
        collectTick();
        return;
    }
    if (id != kTimerId)
        return;
    m_timers.kill(kTimerId);
    if (!m_lptQuerying)
        return;
    // Replies the reply thread has decoded count as received once applied.
    pumpReplies();
    if (!m_par.ringEmpty()) {
        m_timers.start(kTimerId, kRecheckMs);
        return;
    }
    bool resent = false;
    for (std::uint8_t n : SettingCommands::parallelQueryList()) {
        if (m_received[n])
            continue;
        if (!send(SettingCommands::query(n))) {
            m_ctx.prompter.message(kGetValueCmdFail, kAppName, Icon::Exclamation, Buttons::Ok);
            // The query ends here, so EXIT and the window's close work and Get Value can be
            // tried again; what was answered so far stays on the screen.
            stopReplyThread();
            m_par.StopReceiver();
            m_lptQuerying = false;
            m_form.view().cursor = Cursor::Arrow;
            m_form.setButtons(true, getValueAllowed());
            return;
        }
        m_par.RequestRead();
        resent = true;
    }
    if (resent) {
        m_timers.start(kTimerId, kRecheckMs);
        return;
    }
    finishParallelQuery();
}

void UserSetupScreen::finishParallelQuery() {
    stopReplyThread();
    m_form.view().cursor = Cursor::Arrow;
    m_form.setButtons(true, getValueAllowed());
    m_par.StopReceiver();
    m_lptQuerying = false;
    bool finished = send(SettingCommands::parallelFinish());
    m_timers.kill(kTimerId);
    if (!finished)
        writeFailure(MsgWriteToPortError);
}

// ---------------------------------------------------------------- Set Value, TEST, Default, EXIT

bool UserSetupScreen::setValue() {
    if (m_closed || !view().setValue.enabled)
        return false;
    if (!m_form.readControls())
        return false;
    if (m_form.settings().nothingChosen())
        return false;
    m_form.setButtons(false, getValueAllowed());
    if (m_network && !probe()) {
        writeFailure(MsgWriteFail);
        return false;
    }
    if (!send(SettingCommands::enterSetup())) {
        writeFailure(MsgWriteFail);
        return false;
    }
    WriteSettingsResult record = buildWriteSettings(m_form.settings());
    if (record.carriesStopBit && m_form.stopBitWarning()) {
        show(MsgStopBitWarning, kNotice);
        m_form.clearStopBitWarning();
    }
    if (!send(record.command) || !send(SettingCommands::leaveSetup())) {
        writeFailure(MsgWriteFail);
        return false;
    }
    if (m_kind == PortKind::Parallel) {
        // The printer applies the values and ignores the port meanwhile.
        m_ctx.clock.sleepMs(kParallelSettleMs);
        m_par.Close();
        if (!m_par.Open(m_portName) || !send(SettingCommands::statusBackOff())) {
            writeFailure(MsgWriteFail);
            return false;
        }
    }
    if (record.carriesUsbMode) {
        // The printer comes back on its other USB interface: this link is gone.
        if (m_kind == PortKind::Parallel) {
            m_ctx.ports.m_bConnected = 0;
            m_par.Close();
        } else if (m_network) {
            m_ctx.socket.Close();
        } else if (m_ctx.ports.m_bConnected) {
            m_ctx.ports.Close();
        }
    } else if (m_kind == PortKind::Usb) {
        // Closing ended the reply thread (it runs while the port is connected); the reopened
        // port needs one again, or later replies would never be read.
        if (reopenUsb()) {
            stopReplyThread();
            if (!startReplyThread()) {
                // The values were written, but no reply could be read on this link any more.
                writeFailure(MsgCannotCreateReceiveThread);
                return true;
            }
        }
    } else if (m_network) {
        m_ctx.clock.sleepMs(kReopenPauseMs);
        m_form.view().getValue.enabled = true;
        m_ctx.socket.Close();
    }
    m_form.setButtons(true, getValueAllowed());
    m_form.refresh();
    return true;
}

bool UserSetupScreen::reopenUsb() {
    CPorts& ports = m_ctx.ports;
    if (ports.m_bConnected)
        ports.Close();
    m_ctx.clock.sleepMs(kReopenPauseMs);
    if (ports.Open())
        return true;
    m_ctx.clock.sleepMs(500);
    ports.Close();
    if (ports.Open())
        return true;
    for (int pause : {400, 300, 200}) {
        m_ctx.clock.sleepMs(pause);
        if (ports.Open())
            return true;
    }
    m_ctx.clock.sleepMs(100);
    return false;
}

bool UserSetupScreen::test() {
    if (m_closed || !view().test.enabled)
        return false;
    m_form.view().defaults.enabled = m_form.view().getValue.enabled =
        m_form.view().setValue.enabled = false;
    if (m_network && !probe()) {
        writeFailure(MsgWriteFail);
        return false;
    }
    if (!sendItems(SettingCommands::testPrint(m_ctx.langId))) {
        writeFailure(MsgWriteFail);
        return false;
    }
    m_ctx.clock.sleepMs(kTestPauseMs);
    m_form.view().defaults.enabled = m_form.view().setValue.enabled = true;
    m_form.view().getValue.enabled = getValueAllowed();
    return true;
}

bool UserSetupScreen::defaults() {
    if (m_closed || !view().defaults.enabled)
        return false;
    if (ask(m_ctx.catalogue.text(MsgConfirmDefaults), kAppName) != Answer::Yes)
        return false;
    m_form.applyDefaults();
    return true;
}

void UserSetupScreen::exit() {
    if (m_closed || !view().exit.enabled)
        return;
    closeLink(true);
}

// ---------------------------------------------------------------- replies and notifications

int UserSetupScreen::pumpReplies() {
    return m_mailbox.pump([this](const SettingReply& r) { onSettingReply(r); });
}

int UserSetupScreen::waitForReplies(int timeoutMs) {
    return m_mailbox.waitAndPump([this](const SettingReply& r) { onSettingReply(r); }, timeoutMs);
}

void UserSetupScreen::onSettingReply(const SettingReply& reply) {
    m_received[static_cast<std::size_t>(reply.number & 0xFF)] = true;
    m_lastReplyMs = m_ctx.clock.nowMs();
    m_form.applyReply(reply);
    // A reply that was on its way when a write failed is shown, but enables nothing: the
    // screen must be left and opened again.
    if (m_failed)
        m_form.disableAfterFailure(false);
    if (reply.number == SetSetupCode && m_network) {
        // The last reply: the printer needs a moment before the next command.
        ButtonView& d = m_form.view().defaults;
        ButtonView& g = m_form.view().getValue;
        ButtonView& s = m_form.view().setValue;
        // Back as they were: a write that failed meanwhile (or a Set Value running) keeps them
        // disabled.
        const bool wasD = d.enabled, wasG = g.enabled, wasS = s.enabled;
        d.enabled = g.enabled = s.enabled = false;
        m_ctx.clock.sleepMs(kNetworkReplyPauseMs);
        d.enabled = wasD;
        g.enabled = wasG;
        s.enabled = wasS;
    }
}

void UserSetupScreen::onDataArrived() {
    CommQueue& from = m_ctx.ports.m_QueueRead;
    // Bytes that do not fit stay in m_QueueRead until the next notification.
    while (!from.empty() && m_ring.freeRoom() > 1)
        m_ring.put(from.get());
}

bool UserSetupScreen::choose(Choice choice, int position) {
    return !m_closed && m_form.choose(choice, position);
}

bool UserSetupScreen::setEdit(Edit edit, const std::string& text) {
    return !m_closed && m_form.setEdit(edit, text);
}

void UserSetupScreen::resetChoices(bool keepMarginAndCode, const std::vector<Choice>& keep) {
    m_form.resetChoices(keepMarginAndCode, keep);
}

} // namespace korva
