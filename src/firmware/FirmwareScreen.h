#pragma once
// The firmware download screen ("KORVASet : Firmware Download") without any window: one flash
// area of an 8 MiB image goes to the printer as one AreaFrame, with no reply.
//
// Use: construct, open(ctrlHeld), forward the user's actions (chooseFile or setFile, chooseArea,
// download, exit), render view() after every call and whenever the wake function fires.
//
// Expert mode is decided by open() alone (the Ctrl key at that moment) and lasts as long as the
// screen: only it shows the Boot Area button and enables the DOWNLOAD Area button; the Boot
// Area is enabled only for an image whose boot-enable byte is 1..10. The LCD font area is for
// the KORVA40 class (ModelKind 6) only.
//
// Threads: download() checks the file, builds the frame on the calling (screen) thread and then
// hands the frame to one worker thread per download, for every port kind: serial, parallel, USB
// and FILE through CPorts, Ethernet through PrinterSocket (AreaTransfer does both). While the
// worker runs the screen touches neither the port nor the socket, and DOWNLOAD and File Open
// stay disabled, so no second transfer can start. The worker only publishes its progress and
// calls the wake function (from its own thread); update(), on the screen's thread, renders that
// progress and, once the worker has ended, joins it and shows the outcome. Every message box is
// shown on the screen's thread.
//
// EXIT during a transfer asks first; Yes stops the transfer between two blocks and the screen
// closes when the worker has ended (the printer does not get the whole area). The destructor
// stops and joins a worker still running, so no worker outlives the screen; the port is closed
// once, by the worker, or by the destructor when it is still open.
#include "firmware/AreaFrame.h"
#include "firmware/AreaTransfer.h"
#include "firmware/FirmwareImage.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace korva {

class CPorts;
class Clock;
class ErrorLog;
class MessageCatalogue;
class PrinterSocket;
class Profile;
class Prompter;
struct EthernetSettings;

// What the screen works with; every reference outlives the screen. The clock paces the worker's
// waits and is called from the worker thread.
struct FirmwareContext {
    CPorts& ports;
    PrinterSocket& socket;
    const EthernetSettings& ethernet;
    ErrorLog& log;
    const MessageCatalogue& catalogue;
    Prompter& prompter;
    Clock& clock;
    Profile& profile;
    std::uint16_t langId;
    std::string summary; // the connection summary for the DEVICE group
    // No progress for this long ends a transfer (shorter for a virtual printer).
    int stallLimitMs = AreaTransfer::kStallLimitMs;
};

struct FirmwareView {
    std::string title;
    std::string path; // the full path of the chosen file
    std::string name; // its file name
    std::string checksum;
    std::string fileSize = "0";
    std::string summary;
    std::string fileOpenCaption = "File Open";
    std::string areaGroupCaption = "AREA";
    std::string deviceGroupCaption = "DEVICE";
    std::string infoGroupCaption = "Information";
    std::string checksumCaption = "CHECKSUM :";
    std::string fileSizeCaption = "FileSize :";
    std::string bytesCaption = "bytes";
    std::string downloadCaption = "DOWNLOAD";
    std::string exitCaption = "EXIT";
    std::array<std::string, kFirmwareAreaCount> areaCaptions{};
    std::array<bool, kFirmwareAreaCount> areaEnabled{};
    bool bootVisible = false;
    int area = AreaProgram;
    std::uint32_t progressMax = 0;
    std::uint32_t progress = 0;
    bool downloadEnabled = true;
    bool fileOpenEnabled = true;
    bool closed = false; // EXIT has ended the screen
};

class FirmwareScreen {
public:
    static constexpr const char* kSection = "FWDN20";
    static constexpr const char* kFolderKey = "FOLDER";
    static constexpr const char* kFileKey = "FILE";
    static constexpr const char* kFileFilter = "Firmware file(*.SHC)|*.SHC|ALL FILE(*.*)|*.*|";

    enum class State { Idle, Transferring, Settling };
    using Outcome = AreaTransfer::Outcome;
    // Called on the worker thread for every progress step (tests and the console watch it).
    using Observer = std::function<void(AreaTransfer::Phase, std::uint32_t position)>;

    explicit FirmwareScreen(FirmwareContext context);
    ~FirmwareScreen();
    FirmwareScreen(const FirmwareScreen&) = delete;
    FirmwareScreen& operator=(const FirmwareScreen&) = delete;

    // Title, captions, the remembered file, the area rules; ctrlHeld decides expert mode. A file
    // given beforehand (the command line's) takes the remembered file's place.
    void open(bool ctrlHeld, const std::optional<std::string>& file = std::nullopt);
    // File Open: the file dialog; true when a file was chosen.
    bool chooseFile();
    // A file chosen without the dialog: what File Open does after the dialog.
    void setFile(const std::string& path);
    // A click on an area's radio button; false (nothing changes) when it is disabled.
    bool chooseArea(int index);
    // DOWNLOAD: true when a transfer has started (every refusal has shown its message).
    bool download();
    // EXIT, the window's close button and Esc.
    void exit();
    // Stops a running transfer between two blocks without asking (Ctrl-C on the console).
    void stop() { m_stop = true; }
    // Screen thread: renders the worker's progress; once it has ended, its outcome.
    void update();
    // Waits (real time, at most timeoutMs) for a running worker to end, then update(); true
    // when no worker runs any more.
    bool waitForTransfer(int timeoutMs);

    // Set before the first download; called from the worker thread, at most once until the
    // next update().
    void setWake(std::function<void()> wake) { m_wake = std::move(wake); }
    void setObserver(Observer observer) { m_observer = std::move(observer); }

    const FirmwareView& view() const { return m_view; }
    bool expert() const { return m_expert; }
    bool running() const { return m_worker.joinable(); }
    State state() const;
    // How the last transfer ended (Done before the first one).
    Outcome lastOutcome() const { return m_lastOutcome; }
    // The bytes the last transfer sent, once it has ended.
    std::uint32_t sent() const { return m_total.load(); }
    // EXIT's question while a transfer runs.
    static const char* stopQuestion(bool korean);

    std::string titleFor(std::uint32_t position) const;

private:
    void applyBootRule(const std::optional<FirmwareTrailer>& trailer);
    void refuse(const std::string& text, const char* caption, bool closePort, bool enableDownload);
    bool confirm(int area);
    void runWorker(bool ethernet);
    void finishTransfer();
    void setProgress(std::uint32_t position);
    void wake();

    FirmwareContext m_ctx;
    FirmwareView m_view;
    bool m_expert = false;
    // The port chosen for the printer: a FILE open leaves the typed output name in its place.
    std::string m_portName;
    bool m_closing = false;
    Outcome m_lastOutcome = Outcome::Done;
    std::uint32_t m_length = 0;
    std::unique_ptr<AreaFrame> m_frame;

    std::function<void()> m_wake;
    Observer m_observer;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_wakePending{false};
    std::atomic<std::uint32_t> m_position{0};
    std::atomic<std::uint32_t> m_total{0};
    std::atomic<bool> m_settling{false};
    // Set by the worker as its last act; m_outcome and m_error are written before it.
    std::mutex m_endMutex;
    std::condition_variable m_endCv;
    bool m_ended = false;
    Outcome m_outcome = Outcome::Done;
    std::string m_endMessage;
};

} // namespace korva
