#pragma once
// The KORVA10 class's firmware download screen ("KORVASet : KORVA10 Firmware Download"),
// without any window: one flash area of a ".bin" file goes to the printer as an erase packet
// and write packets of at most 512 bytes (firmware/Korva10Flash.h).
//
//   COM, USB  reply-driven: the printer answers each packet with DLE ACK (the next packet, or
//             the end) or DLE NAK (the same bytes again). Replies come through CPorts' receive
//             thread (receive mode 3) into m_QueueRead; this screen is m_NotifyWnd.
//   LPT       no replies: after the erase waits every write packet goes out, 50 ms apart.
//
// Use: construct, open(), forward the user's actions (chooseFile or setFile, chooseArea, ok,
// cancel), render view() after every call. Replies are applied on the screen's thread by
// pumpReplies(); onDataArrived (receive thread) only wakes that thread through the function
// given to setReplyWake, or a waitForData() caller. The six erase waits and the parallel loop
// run on TimerHost timers, so CANCEL is heard in every state; the 50 ms pauses after a write
// are Clock sleeps.
//
// Bounds the design leaves open: a printer that gives no DLE ACK or NAK within kReplyTimeoutMs
// of a write packet (kEraseReplyTimeoutMs of the erase packet) stops the download with a
// message; so do kMaxNaks NAKs for one packet, and a write the port does not take whole. The
// port and the file are closed then and OK is enabled again, so the user can retry.
//
// Threads: every public function on the screen's thread, except onDataArrived. cancel() and
// the destructor close the port, which joins the receive thread, so no notification reaches a
// destroyed screen.
#include "base/TimerHost.h"
#include "comm/NotifyTarget.h"
#include "comm/PortName.h"
#include "firmware/Korva10Flash.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace korva {

class CPorts;
class Clock;
class ErrorLog;
class MessageCatalogue;
class Profile;
class Prompter;

// What the screen works with; every reference outlives the screen.
struct Korva10FirmwareContext {
    CPorts& ports;
    ErrorLog& log;
    const MessageCatalogue& catalogue;
    Prompter& prompter;
    Clock& clock;
    Profile& profile;
    std::uint16_t langId;
    std::string summary; // the connection summary for the DEVICE box
};

struct Korva10FirmwareView {
    std::string title;
    std::string path; // the full path of the chosen file
    std::string name; // its file name
    std::string openCaption = "&Open";
    std::string areaGroupCaption = "SELECT AREA";
    std::string deviceGroupCaption = "DEVICE";
    std::string okCaption = "OK";
    std::string cancelCaption = "CANCEL";
    std::array<std::string, korva10::kAreaCount> areaCaptions{};
    std::array<bool, korva10::kAreaCount> areaEnabled{};
    int area = 0;
    std::string summary;
    std::uint32_t progressMin = 0;
    std::uint32_t progressMax = 0;
    std::uint32_t progress = 0;
    bool okEnabled = true;
    bool closed = false; // the screen has ended (COMPLETED or CANCEL)
};

class Korva10FirmwareScreen final : public NotifyTarget, public TimerClient {
public:
    static constexpr const char* kSection = "FWDN15";
    static constexpr const char* kFolderKey = "FOLDER";
    static constexpr const char* kFileKey = "FILE";
    static constexpr int kEraseTimer = 1;
    static constexpr int kParallelTimer = 2;
    static constexpr int kReplyTimer = 3;
    static constexpr int kEraseSteps = 6;
    static constexpr int kPacketPauseMs = 50;
    static constexpr int kReplyTimeoutMs = 5000;
    static constexpr int kEraseReplyTimeoutMs = 15000;
    static constexpr int kMaxNaks = 10;

    enum class State { Idle, Erasing, Writing, Finished };
    // How the last download ended.
    enum class Outcome {
        None,
        Completed,
        Cancelled,
        PortFailed,
        FileFailed,
        NoAnswer,
        Refused,
        WriteFailed
    };

    Korva10FirmwareScreen(Korva10FirmwareContext context, TimerHost& timers);
    ~Korva10FirmwareScreen() override;
    Korva10FirmwareScreen(const Korva10FirmwareScreen&) = delete;
    Korva10FirmwareScreen& operator=(const Korva10FirmwareScreen&) = delete;

    // Reads "FOLDER" and "FILE" of section "FWDN15", captions, title, summary.
    void open();
    // The Open button: the file dialog; true when a file was chosen.
    bool chooseFile();
    // A file chosen without the dialog (the command line).
    void setFile(const std::string& path);
    // A click on an area's radio button; false (nothing changes) when it is disabled or a
    // download runs.
    bool chooseArea(int index);
    // OK: starts the download; false when it did not start (the message has been shown).
    bool ok();
    // CANCEL (or the window closed): ends the download, closes the port; nothing is sent after.
    void cancel();

    void onDataArrived() override;
    void onTimer(int id) override;
    // Applies the replies waiting in m_QueueRead (none during the erase waits); returns the
    // bytes taken.
    int pumpReplies();
    // Waits up to timeoutMs (real time) for a data notification; true when one came.
    bool waitForData(int timeoutMs);
    void setReplyWake(std::function<void()> wake);

    const Korva10FirmwareView& view() const { return m_view; }
    State state() const { return m_state; }
    Outcome outcome() const { return m_outcome; }
    bool running() const { return m_state == State::Erasing || m_state == State::Writing; }
    // Packets written in this download (resends included), NAKs for the packet now in the buffer.
    int packetsSent() const { return m_packetsSent; }
    int naksForPacket() const { return m_naks; }
    std::uint32_t currentAddress() const { return m_current; }
    // Called after the title, the progress or the state changed (the console shows progress).
    std::function<void()> onProgress;

private:
    void startErase();
    void eraseStep();
    void sendNextWrite();
    void sendPacket();
    void parallelStep();
    void handleByte(std::uint8_t byte);
    void finish();
    void stop(Outcome outcome, const std::string& message);
    void endLink();
    void setTitle(std::string title);
    std::string writingTitle() const;
    const char* pick(const char* english, const char* korean) const;

    Korva10FirmwareContext m_ctx;
    TimerHost& m_timers;
    Korva10FirmwareView m_view;
    Korva10Packet m_packet;
    Korva10Image m_image;
    const Korva10Area* m_area = nullptr;
    State m_state = State::Idle;
    Outcome m_outcome = Outcome::None;
    PortKind m_kind = PortKind::None;
    // The port chosen for the printer: a FILE open leaves the typed output name in its place.
    std::string m_portName;
    std::uint32_t m_current = 0;
    std::uint32_t m_end = 0;
    int m_eraseStep = 0;
    int m_naks = 0;
    int m_packetsSent = 0;
    bool m_dle = false;
    bool m_portOpen = false;

    std::mutex m_wakeMutex;
    std::condition_variable m_wakeCv;
    bool m_dataPending = false;
    std::function<void()> m_wake;
};

} // namespace korva
