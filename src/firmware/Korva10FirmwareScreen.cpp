#include "firmware/Korva10FirmwareScreen.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/Prompter.h"
#include "comm/CPorts.h"

#include <cinttypes>
#include <cstdio>

namespace korva {

namespace {

constexpr const char* kFileFilter = "BINARY(*.bin)|*.bin|ALL FILE(*.*)|*.*|";

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string tooShortText(bool korean, std::uint64_t size, std::uint32_t end) {
    char buf[256];
    if (korean)
        std::snprintf(buf, sizeof buf,
                      "파일이 이 영역보다 짧습니다.\r\n(%" PRIu64 " 바이트, 영역 끝 %" PRIX32 ")",
                      size, end);
    else
        std::snprintf(buf, sizeof buf,
                      "The file is too short for this area.\r\n(%" PRIu64
                      " bytes; the area ends at %" PRIX32 ")",
                      size, end);
    return buf;
}

std::string refusedText(bool korean, std::uint32_t address, int naks) {
    char buf[256];
    if (korean)
        std::snprintf(buf, sizeof buf,
                      "프린터가 %" PRIX32 " 주소의 패킷을 %d번 거부했습니다.\r\n"
                      "영역이 완전히 기록되지 않았습니다. 다시 시도하십시오.",
                      address, naks);
    else
        std::snprintf(buf, sizeof buf,
                      "The printer refused the packet at %" PRIX32 " %d times.\r\n"
                      "The area is not completely written. Try again.",
                      address, naks);
    return buf;
}

} // namespace

Korva10FirmwareScreen::Korva10FirmwareScreen(Korva10FirmwareContext context, TimerHost& timers)
    : m_ctx(std::move(context)), m_timers(timers) {}

Korva10FirmwareScreen::~Korva10FirmwareScreen() {
    for (int id : {kEraseTimer, kParallelTimer, kReplyTimer})
        m_timers.kill(id);
    endLink();
    if (m_ctx.ports.m_NotifyWnd == this)
        m_ctx.ports.m_NotifyWnd = nullptr;
}

const char* Korva10FirmwareScreen::pick(const char* english, const char* korean) const {
    return m_ctx.catalogue.pick(english, korean);
}

void Korva10FirmwareScreen::open() {
    m_view = Korva10FirmwareView{};
    m_portName = m_ctx.ports.m_PortName;
    m_view.path = m_ctx.profile.GetString(kSection, kFolderKey);
    m_view.name = m_ctx.profile.GetString(kSection, kFileKey);
    // The design gives this screen English captions only, in both languages.
    for (int i = 0; i < korva10::kAreaCount; ++i) {
        const Korva10Area& a = korva10::areas()[static_cast<std::size_t>(i)];
        m_view.areaCaptions[static_cast<std::size_t>(i)] = a.caption;
        m_view.areaEnabled[static_cast<std::size_t>(i)] = a.enabled;
    }
    m_view.area = korva10::kProgramArea;
    m_view.summary = m_ctx.summary;
    m_view.title = kTitleFirmwareKorva10;
}

bool Korva10FirmwareScreen::chooseFile() {
    if (running())
        return false;
    std::optional<std::string> chosen = m_ctx.prompter.openFile(kFileFilter, ".bin", m_view.path);
    if (chosen)
        setFile(*chosen);
    return chosen.has_value();
}

void Korva10FirmwareScreen::setFile(const std::string& path) {
    m_view.path = path;
    m_view.name = fileNameOf(path);
}

bool Korva10FirmwareScreen::chooseArea(int index) {
    if (running() || !korva10::area(index))
        return false;
    m_view.area = index;
    return true;
}

bool Korva10FirmwareScreen::ok() {
    if (!m_view.okEnabled || running() || m_view.closed)
        return false;
    m_area = korva10::area(m_view.area);
    if (!m_area)
        return false;
    m_outcome = Outcome::None;
    CPorts& ports = m_ctx.ports;
    ports.m_ReceiveMode = 3;
    ports.m_NotifyWnd = this;
    {
        std::lock_guard lock(m_wakeMutex);
        m_dataPending = false;
    }
    ports.m_PortName = m_portName;
    if (!ports.Open()) {
        ports.m_NotifyWnd = nullptr;
        m_outcome = Outcome::PortFailed;
        std::string text = m_ctx.catalogue.text(MsgInitFail);
        if (!ports.m_OpenFailure.empty())
            text += "\n" + ports.m_OpenFailure;
        m_ctx.prompter.inform(text);
        return false;
    }
    m_portOpen = true;
    m_kind = ports.openedKind();
    // Nothing from an earlier tool is a reply to this download. The receive thread runs
    // already, so the bytes are dropped from the reading side (clear() needs a stopped writer).
    while (!ports.m_QueueRead.empty())
        ports.m_QueueRead.get();
    m_ctx.profile.WriteString(kSection, kFolderKey, m_view.path);
    m_ctx.profile.WriteString(kSection, kFileKey, m_view.name);

    if (!m_image.open(m_view.path)) {
        endLink();
        m_outcome = Outcome::FileFailed;
        m_ctx.prompter.inform(m_ctx.catalogue.text(MsgFileOpenError));
        return false;
    }
    if (m_image.size() < m_area->end) {
        // Flashing what the file does not hold would leave the printer with a broken area.
        std::uint64_t size = m_image.size();
        m_image.close();
        endLink();
        m_outcome = Outcome::FileFailed;
        m_ctx.log.Print("Korva10 firmware: %s has %" PRIu64 " bytes, area ends at %" PRIX32 "\r\n",
                        m_view.path.c_str(), size, m_area->end);
        m_ctx.prompter.inform(tooShortText(m_ctx.catalogue.korean(), size, m_area->end),
                              Icon::Exclamation);
        return false;
    }
    m_view.okEnabled = false;
    m_packet.buildErase(*m_area);
    m_current = m_area->start;
    m_end = m_area->end;
    m_view.progressMin = m_area->start;
    m_view.progressMax = m_area->end;
    m_naks = 0;
    m_packetsSent = 0;
    m_dle = false;
    m_eraseStep = 0;
    m_state = State::Erasing;
    setTitle("Erasing...");
    sendPacket();
    if (m_state == State::Erasing)
        m_timers.start(kEraseTimer, m_area->eraseWaitMs);
    return m_state == State::Erasing;
}

void Korva10FirmwareScreen::cancel() {
    for (int id : {kEraseTimer, kParallelTimer, kReplyTimer})
        m_timers.kill(id);
    if (running())
        m_outcome = Outcome::Cancelled;
    endLink();
    m_image.close();
    m_state = State::Finished;
    m_view.closed = true;
    if (onProgress)
        onProgress();
}

void Korva10FirmwareScreen::onTimer(int id) {
    if (id == kEraseTimer && m_state == State::Erasing)
        eraseStep();
    else if (id == kParallelTimer && m_state == State::Writing)
        parallelStep();
    else if (id == kReplyTimer && running())
        stop(Outcome::NoAnswer,
             pick("The printer did not answer.\r\nThe area is not completely written. "
                  "Check the printer and try again.",
                  "프린터가 응답하지 않습니다.\r\n영역이 완전히 기록되지 않았습니다. "
                  "프린터를 확인하고 다시 시도하십시오."));
    else
        m_timers.kill(id);
}

void Korva10FirmwareScreen::eraseStep() {
    ++m_eraseStep;
    setTitle("Erasing..." + std::string(static_cast<std::size_t>(m_eraseStep), '.'));
    if (m_eraseStep < kEraseSteps)
        return;
    m_timers.kill(kEraseTimer);
    m_state = State::Writing;
    if (m_kind == PortKind::Serial || m_kind == PortKind::Usb)
        pumpReplies(); // replies that came during the waits
    else
        m_timers.start(kParallelTimer, 0); // nothing answers: one packet per turn of the loop
}

void Korva10FirmwareScreen::parallelStep() {
    if (m_current < m_end)
        sendNextWrite();
    if (m_state == State::Writing && m_current >= m_end)
        finish();
}

void Korva10FirmwareScreen::sendNextWrite() {
    std::size_t n = m_packet.beginWrite(m_current, m_end);
    if (n == 0 || !m_image.read(m_current, m_packet.data())) {
        stop(Outcome::FileFailed, m_ctx.catalogue.text(MsgFileOpenError));
        return;
    }
    m_current += static_cast<std::uint32_t>(n);
    m_naks = 0;
    setTitle(writingTitle());
    sendPacket();
}

std::string Korva10FirmwareScreen::writingTitle() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Writing...(%" PRIX32 ")", m_current);
    return buf;
}

void Korva10FirmwareScreen::sendPacket() {
    m_packet.seal();
    m_view.progress = m_current;
    std::span<const std::uint8_t> bytes = m_packet.bytes();
    int written = m_ctx.ports.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    ++m_packetsSent;
    if (m_kind == PortKind::Serial)
        m_dle = false;
    else
        m_ctx.clock.sleepMs(kPacketPauseMs);
    if (written != static_cast<int>(bytes.size())) {
        // The design ignores the result; a packet the port did not take would otherwise end as
        // COMPLETED on a parallel port, or as a silent wait on the others.
        stop(Outcome::WriteFailed, m_ctx.catalogue.text(MsgWriteFail));
        return;
    }
    if (m_kind == PortKind::Serial || m_kind == PortKind::Usb)
        m_timers.start(kReplyTimer, m_packet.erase() ? kEraseReplyTimeoutMs : kReplyTimeoutMs);
    if (onProgress)
        onProgress();
}

void Korva10FirmwareScreen::handleByte(std::uint8_t byte) {
    if (!m_dle) {
        if (byte == 0x10)
            m_dle = true;
        return;
    }
    m_dle = false;
    if (byte == 0x06) {
        if (m_current >= m_end)
            finish();
        else
            sendNextWrite();
    } else if (byte == 0x15) {
        if (++m_naks >= kMaxNaks) {
            stop(Outcome::Refused,
                 refusedText(m_ctx.catalogue.korean(),
                             m_current - static_cast<std::uint32_t>(m_packet.dataLength()),
                             m_naks));
            return;
        }
        sendPacket(); // the same bytes again
    }
}

int Korva10FirmwareScreen::pumpReplies() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_dataPending = false;
    }
    if (m_state != State::Writing || (m_kind != PortKind::Serial && m_kind != PortKind::Usb))
        return 0;
    int taken = 0;
    CommQueue& queue = m_ctx.ports.m_QueueRead;
    while (m_state == State::Writing && !queue.empty()) {
        handleByte(queue.get());
        ++taken;
    }
    return taken;
}

void Korva10FirmwareScreen::onDataArrived() {
    std::lock_guard lock(m_wakeMutex);
    m_dataPending = true;
    m_wakeCv.notify_all();
    if (m_wake)
        m_wake();
}

bool Korva10FirmwareScreen::waitForData(int timeoutMs) {
    std::unique_lock lock(m_wakeMutex);
    m_wakeCv.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                      [this] { return m_dataPending; });
    return m_dataPending;
}

void Korva10FirmwareScreen::setReplyWake(std::function<void()> wake) {
    std::lock_guard lock(m_wakeMutex);
    m_wake = std::move(wake);
}

void Korva10FirmwareScreen::finish() {
    for (int id : {kEraseTimer, kParallelTimer, kReplyTimer})
        m_timers.kill(id);
    m_state = State::Finished;
    m_outcome = Outcome::Completed;
    m_ctx.prompter.inform(m_ctx.catalogue.text(MsgCompleted));
    endLink();
    m_image.close();
    m_view.closed = true;
    if (onProgress)
        onProgress();
}

void Korva10FirmwareScreen::stop(Outcome outcome, const std::string& message) {
    for (int id : {kEraseTimer, kParallelTimer, kReplyTimer})
        m_timers.kill(id);
    m_ctx.log.Print("Korva10 firmware: stopped at %" PRIX32 " after %d packets\r\n", m_current,
                    m_packetsSent);
    endLink();
    m_image.close();
    m_state = State::Idle;
    m_outcome = outcome;
    m_view.okEnabled = true;
    m_view.progress = m_view.progressMin;
    m_view.title = kTitleFirmwareKorva10;
    if (onProgress)
        onProgress();
    m_ctx.prompter.inform(message, Icon::Exclamation);
}

void Korva10FirmwareScreen::endLink() {
    if (!m_portOpen)
        return;
    m_portOpen = false;
    // Close joins the receive thread: no notification reaches this screen afterwards.
    m_ctx.ports.Close();
    if (m_ctx.ports.m_NotifyWnd == this)
        m_ctx.ports.m_NotifyWnd = nullptr;
    m_ctx.ports.m_QueueRead.clear();
    std::lock_guard lock(m_wakeMutex);
    m_dataPending = false;
}

void Korva10FirmwareScreen::setTitle(std::string title) {
    m_view.title = std::move(title);
    if (onProgress)
        onProgress();
}

} // namespace korva
