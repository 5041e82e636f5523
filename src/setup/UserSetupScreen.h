#pragma once
// The user setup screen's behaviour, without any window ("KORVASet : User Setup"): it reads the
// printer's settings (Get Value), writes them (Set Value), sets the default choices (Default),
// prints the test page (TEST) and applies every radio and list rule, over every port kind:
//   LPT          its own ParPortCtl; Get Value runs the timer 100 state machine, during which
//                EXIT alone stays enabled and ends it
//   ETHERNET_II  the PrinterSocket after the connection probe; reply thread for the screen's life
//   COM, USB     CPorts, with this screen as m_NotifyWnd (USB replies by the reply collection)
//   FILE         CPorts into the chosen file (nothing answers)
//
// Use: construct, open() (false: the screen closes; the message has been shown), forward the
// user's actions, render view() after every call. Replies decoded by the reply thread wait in a
// mailbox until the screen's thread applies them with pumpReplies() or waitForReplies(); the
// window sets a wake function (setReplyWake) that schedules pumpReplies() on its thread.
// Timers 100 and 101 run through the TimerHost; every pause (4000, 3000, 800, 300 ms ...) through
// the Clock.
//
// Threads: every public function on the screen's thread, except onDataArrived, which CPorts
// calls on its receive thread (COM) or inside CollectUsbReplies (USB). The destructor ends the
// reply thread, the parallel port's receiver and the link.
#include "base/Prompter.h"
#include "base/TimerHost.h"
#include "comm/CommQueue.h"
#include "comm/NotifyTarget.h"
#include "comm/ParPortCtl.h"
#include "comm/PortName.h"
#include "setup/PrinterSettings.h"
#include "setup/ReplyMailbox.h"
#include "setup/SettingReplyThread.h"
#include "setup/UserSetupForm.h"
#include "setup/UserSetupView.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korva {

class CPorts;
class Clock;
class ErrorLog;
class MessageCatalogue;
class PrinterSocket;
class Profile;
class Prompter;
struct EthernetSettings;

// What the screen works with; every reference outlives the screen.
struct UserSetupContext {
    CPorts& ports;
    PrinterSocket& socket;
    const EthernetSettings& ethernet;
    ErrorLog& log;
    const MessageCatalogue& catalogue;
    Prompter& prompter;
    Clock& clock;
    Profile& profile;
    std::uint16_t langId;
    std::string summary; // the connection summary text for the MODEL box
};

class UserSetupScreen final : public NotifyTarget, public TimerClient {
public:
    static constexpr int kTimerId = 100;
    static constexpr int kFirstCheckMs = 3000;
    static constexpr int kRecheckMs = 2000;
    static constexpr int kParallelSettleMs = 4000;
    static constexpr int kReopenPauseMs = 3000;
    static constexpr int kTestPauseMs = 800;
    static constexpr int kNetworkReplyPauseMs = 800;
    static constexpr int kExitPauseMs = 300;
    // After a Get Value on COM, USB and the network: replies are collected until every query
    // is answered or kCollectQuietMs pass without one; then the rows that got none are named.
    static constexpr int kCollectTimerId = 101;
    static constexpr int kCollectTickMs = 200;
    static constexpr int kCollectQuietMs = 2000;

    using Choice = UserSetupForm::Choice;
    using Edit = UserSetupForm::Edit;

    UserSetupScreen(UserSetupContext context, TimerHost& timers);
    ~UserSetupScreen() override;
    UserSetupScreen(const UserSetupScreen&) = delete;
    UserSetupScreen& operator=(const UserSetupScreen&) = delete;

    // The buttons. Each does nothing while its button is disabled. getValue: true when every
    // query was written; setValue: true when the write bracket was written (false also when
    // nothing was chosen or an edit was out of range), with failed() set when the link was lost
    // after it; test: true when the page was sent; defaults: true when the user said Yes.
    bool open();
    bool getValue();
    bool setValue();
    bool test();
    bool defaults();
    void exit();

    // A click on a radio button or a list selection (position -1 clears a list). Returns false
    // when the control is disabled or hidden, or the position is out of range (nothing changes).
    bool choose(Choice choice, int position);
    // Typing into an edit (see UserSetupForm::setEdit).
    bool setEdit(Edit edit, const std::string& text);
    // See UserSetupForm::resetChoices.
    void resetChoices(bool keepMarginAndCode, const std::vector<Choice>& keep = {});

    // USB only: runs the reply collection again for replies that came after its four passes
    // (they wait in the device until read). Nothing is sent. No effect on other ports.
    void collectLateReplies();

    // Applies the replies waiting in the mailbox; returns how many.
    int pumpReplies();
    // Waits up to timeoutMs (real time) for a reply, then applies what arrived.
    int waitForReplies(int timeoutMs);
    void setReplyWake(std::function<void()> wake) { m_mailbox.setWake(std::move(wake)); }

    // One decoded reply (SettingReplyMessage), on the screen's thread.
    void onSettingReply(const SettingReply& reply);

    void onDataArrived() override;
    void onTimer(int id) override;

    const UserSetupView& view() const { return m_form.view(); }
    const PrinterSettings& settings() const { return m_form.settings(); }
    bool closed() const { return m_closed; }
    // A write failed (the failure message was shown); the screen must be opened again.
    bool failed() const { return m_failed; }
    bool received(int number) const { return m_received[static_cast<std::size_t>(number & 0xFF)]; }
    // The settings Get Value asks for on this screen's port.
    const std::vector<std::uint8_t>& queryList() const;
    bool getValueRunning() const { return m_lptQuerying; } // the LPT state machine is active
    bool stopBitWarningPending() const { return m_form.stopBitWarning(); }
    PortKind portKind() const { return m_kind; }
    bool network() const { return m_network; }

private:
    bool openLink();
    bool startReplyThread();
    void stopReplyThread();
    void closeLink(bool pause);

    bool send(const std::vector<std::uint8_t>& bytes);
    bool sendItems(const std::vector<std::vector<std::uint8_t>>& items);
    bool probe();
    void writeFailure(int message);
    void show(int message, const char* caption = nullptr);
    Answer ask(const std::string& text, const char* caption);

    bool getValueSerial();
    bool getValueNetwork();
    bool getValueParallel();
    void finishParallelQuery();
    bool reopenUsb();

    bool getValueAllowed() const;
    void collectTick();
    std::string rowCaption(std::uint8_t number) const;

    UserSetupContext m_ctx;
    TimerHost& m_timers;
    ParPortCtl m_par;
    CommQueue m_ring; // fed from m_QueueRead on every receive notification
    SettingReplyThread m_replyThread;
    ReplyMailbox m_mailbox;
    std::atomic<bool> m_netRunning{false};

    UserSetupForm m_form;
    std::array<bool, 256> m_received{};
    bool m_timeoutMode = false;
    bool m_lptQuerying = false;
    std::int64_t m_lastReplyMs = 0;
    bool m_opened = false;
    bool m_closed = false;
    bool m_failed = false;
    bool m_network = false;
    PortKind m_kind = PortKind::None;
    std::string m_portName; // as chosen, before a FILE open replaces it with the file name
};

} // namespace korva
