#include "firmware/FirmwareScreen.h"

#include "app/ModelRules.h"
#include "base/ErrorLog.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/Prompter.h"
#include "comm/CPorts.h"
#include "comm/PortName.h"

#include <cstdio>
#include <new>
#include <system_error>

namespace korva {

namespace {

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ethernetPort(const std::string& name) {
    return upperAscii(name).starts_with("ETH");
}

} // namespace

FirmwareScreen::FirmwareScreen(FirmwareContext context) : m_ctx(std::move(context)) {}

FirmwareScreen::~FirmwareScreen() {
    if (m_worker.joinable()) {
        m_stop = true;
        m_worker.join();
    }
    if (m_ctx.ports.m_bConnected)
        m_ctx.ports.Close();
}

const char* FirmwareScreen::stopQuestion(bool korean) {
    return korean ? "펌웨어 전송이 진행 중입니다.\r\n"
                    "중지하시겠습니까? 프린터는 영역 전체를 받지 못합니다."
                  : "The firmware download is still running.\r\n"
                    "Stop it? The printer will not get the whole area.";
}

void FirmwareScreen::open(bool ctrlHeld, const std::optional<std::string>& file) {
    m_view = FirmwareView{};
    m_view.title = kTitleFirmware;
    m_view.summary = m_ctx.summary;
    m_view.path = file ? *file : m_ctx.profile.GetString(kSection, kFolderKey);
    m_view.name = file ? fileNameOf(*file) : m_ctx.profile.GetString(kSection, kFileKey);
    bool korean = isKorean(m_ctx.langId);
    for (int i = 0; i < kFirmwareAreaCount; ++i)
        m_view.areaCaptions[static_cast<std::size_t>(i)] = areaCaption(i, korean);
    if (korean) {
        m_view.deviceGroupCaption = "프린터 종류";
        m_view.checksumCaption = "체크섬";
        m_view.fileSizeCaption = "파일크기";
        m_view.bytesCaption = "바이트";
        m_view.downloadCaption = "다운로드";
    }
    m_expert = ctrlHeld;
    m_portName = m_ctx.ports.m_PortName;
    // Program, Ext. Font, LCD font (KORVA40 class only), DOWNLOAD (expert), Boot (by the file).
    m_view.areaEnabled = {true, true, m_ctx.ports.m_ModelKind == ModelKindKorva40, m_expert, false};
    m_view.bootVisible = m_expert;
    if (!m_view.path.empty())
        applyBootRule(readFirmwareTrailer(m_view.path));
}

void FirmwareScreen::applyBootRule(const std::optional<FirmwareTrailer>& trailer) {
    // Outside expert mode, or for a file that is no firmware image, the button stays as it is.
    if (!m_expert || !trailer || !trailer->signatureOk)
        return;
    if (bootAllowed(trailer->bootEnable)) {
        m_view.areaEnabled[AreaBoot] = true;
        return;
    }
    if (m_view.area == AreaBoot)
        m_view.area = AreaProgram;
    m_view.areaEnabled[AreaBoot] = false;
}

bool FirmwareScreen::chooseFile() {
    if (!m_view.fileOpenEnabled || running() || m_view.closed)
        return false;
    std::optional<std::string> chosen = m_ctx.prompter.openFile(kFileFilter, ".SHC", m_view.path);
    if (chosen)
        setFile(*chosen);
    return chosen.has_value();
}

void FirmwareScreen::setFile(const std::string& path) {
    if (running())
        return;
    m_view.path = path;
    m_view.name = fileNameOf(path);
    m_view.downloadEnabled = true;
    std::optional<FirmwareTrailer> trailer = readFirmwareTrailer(path);
    if (!trailer) {
        m_ctx.prompter.message("ERROR : File Open", kAppName, Icon::Stop, Buttons::Ok);
        return;
    }
    applyBootRule(trailer);
}

bool FirmwareScreen::chooseArea(int index) {
    if (index < 0 || index >= kFirmwareAreaCount || running() ||
        !m_view.areaEnabled[static_cast<std::size_t>(index)])
        return false;
    m_view.area = index;
    return true;
}

void FirmwareScreen::refuse(const std::string& text, const char* caption, bool closePort,
                            bool enableDownload) {
    if (closePort)
        m_ctx.ports.Close();
    m_view.downloadEnabled = enableDownload;
    m_ctx.prompter.message(text, caption, Icon::Stop, Buttons::Ok);
}

bool FirmwareScreen::confirm(int area) {
    const MessageCatalogue& cat = m_ctx.catalogue;
    const char* question = nullptr;
    switch (area) {
    case AreaExtFont:
        question = cat.text(MsgConfirmExtFont);
        break;
    case AreaLcdFont:
        // Not in the catalogue: the pair follows the same language test.
        question = isKorean(m_ctx.langId) ? "LCD 폰트를 다운로드 하시겠습니까?"
                                          : "Are you sure the LCD Font area download?";
        break;
    case AreaDownload:
        question = cat.text(MsgConfirmDownloader);
        break;
    case AreaBoot:
        question = cat.text(MsgConfirmBoot);
        break;
    default:
        return true;
    }
    return m_ctx.prompter.message(question, kAppName, Icon::Question, Buttons::YesNo) ==
           Answer::Yes;
}

bool FirmwareScreen::download() {
    if (!m_view.downloadEnabled || running() || m_view.closed)
        return false;
    const std::string path = m_view.path;
    m_ctx.profile.WriteString(kSection, kFolderKey, path);
    m_ctx.profile.WriteString(kSection, kFileKey, m_view.name);

    // The image is read whole before the questions; what it failed on is told in the order of
    // the checks the user knows (size first, then the port, then the contents).
    FirmwareImage image;
    FirmwareImage::Load loaded;
    bool memoryFailed = false;
    try {
        loaded = image.load(path);
    } catch (const std::bad_alloc&) {
        memoryFailed = true;
        loaded = FirmwareImage::Load::Ok;
    }
    if (loaded == FirmwareImage::Load::OpenFailed) {
        refuse("ERROR : File Open", kAppName, true, true);
        return false;
    }
    m_view.downloadEnabled = false;
    if (loaded == FirmwareImage::Load::WrongSize) {
        char text[64];
        std::snprintf(text, sizeof text, "FileSize (%llu bytes) Error!",
                      static_cast<unsigned long long>(image.fileSize()));
        refuse(text, "Error", false, false);
        return false;
    }
    const FirmwareArea area = firmwareArea(m_view.area, m_ctx.ports.m_ModelKind);
    if (!confirm(area.index))
        return false;
    m_ctx.ports.m_PortName = m_portName;
    const bool ethernet = ethernetPort(m_portName);
    if (!ethernet) {
        m_ctx.ports.Close();
        if (!m_ctx.ports.Open()) {
            std::string text = m_ctx.catalogue.text(MsgInitFail);
            if (!m_ctx.ports.m_OpenFailure.empty())
                text += "\n" + m_ctx.ports.m_OpenFailure;
            refuse(text, kAppName, false, true);
            return false;
        }
    }
    if (!memoryFailed && loaded == FirmwareImage::Load::ShortRead) {
        refuse("ERROR : File Size Error", kAppName, true, true);
        return false;
    }
    if (!memoryFailed && loaded == FirmwareImage::Load::WrongSignature) {
        refuse("Wrong File!", "Error", true, true);
        return false;
    }
    try {
        if (!memoryFailed)
            m_frame = std::make_unique<AreaFrame>(image.bytes(), area);
    } catch (const std::bad_alloc&) {
        memoryFailed = true;
    }
    image.release(); // the frame is all the transfer needs
    if (memoryFailed) {
        m_frame.reset();
        m_ctx.log.Print("FirmwareScreen: no memory for the image and the frame\r\n");
        refuse("ERROR:Memory Allocation Fail.", kAppName, true, true);
        return false;
    }
    m_view.checksum = m_frame->checksumText();
    m_length = m_frame->length();
    m_view.progressMax = m_length + kProgressSlack;
    m_view.progress = 0;
    m_view.fileOpenEnabled = false;

    m_stop = false;
    m_position = 0;
    m_total = 0;
    m_settling = false;
    m_wakePending = false;
    {
        std::lock_guard lock(m_endMutex);
        m_ended = false;
    }
    try {
        m_worker = std::thread(&FirmwareScreen::runWorker, this, ethernet);
    } catch (const std::system_error& error) {
        m_ctx.log.Print("FirmwareScreen: worker thread failed [%d]\r\n", error.code().value());
        m_frame.reset();
        m_view.fileOpenEnabled = true;
        refuse(m_ctx.catalogue.text(MsgSystemError), kAppName, !ethernet, true);
        return false;
    }
    return true;
}

void FirmwareScreen::runWorker(bool ethernet) {
    AreaTransfer* self = nullptr;
    AreaTransfer transfer(
        m_ctx.clock,
        [this, &self](AreaTransfer::Phase phase, std::uint32_t position) {
            if (phase == AreaTransfer::Phase::Settling && !m_settling.load()) {
                m_total = self->totalSent();
                m_settling = true;
            }
            m_position = position;
            if (m_observer)
                m_observer(phase, position);
            wake();
        },
        &m_stop);
    self = &transfer;
    transfer.setStallLimitMs(m_ctx.stallLimitMs);
    Outcome outcome = ethernet ? transfer.sendToSocket(m_ctx.socket, m_ctx.ethernet, *m_frame)
                               : transfer.sendToPort(m_ctx.ports, *m_frame);
    m_total = transfer.totalSent();
    {
        std::lock_guard lock(m_endMutex);
        m_outcome = outcome;
        m_endMessage = transfer.message(outcome, m_ctx.catalogue);
        m_ended = true;
    }
    m_endCv.notify_all();
    wake();
}

void FirmwareScreen::wake() {
    if (!m_wakePending.exchange(true) && m_wake)
        m_wake();
}

FirmwareScreen::State FirmwareScreen::state() const {
    if (!running())
        return State::Idle;
    return m_settling.load() ? State::Settling : State::Transferring;
}

std::string FirmwareScreen::titleFor(std::uint32_t position) const {
    return std::string(kTitleFirmware) + " - " + std::to_string(titlePercent(position, m_length)) +
           " %";
}

void FirmwareScreen::setProgress(std::uint32_t position) {
    m_view.progress = position;
    m_view.title = titleFor(position);
}

void FirmwareScreen::update() {
    if (!running())
        return;
    // Cleared before the state is read: a step published after this read wakes again.
    m_wakePending = false;
    bool ended;
    {
        std::lock_guard lock(m_endMutex);
        ended = m_ended;
    }
    setProgress(m_position.load());
    if (m_settling.load())
        m_view.fileSize = std::to_string(m_total.load());
    if (ended)
        finishTransfer();
}

bool FirmwareScreen::waitForTransfer(int timeoutMs) {
    if (running()) {
        std::unique_lock lock(m_endMutex);
        m_endCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_ended; });
    }
    update();
    return !running();
}

void FirmwareScreen::finishTransfer() {
    m_worker.join(); // first, so a message box's nested event loop finds nothing running
    m_frame.reset();
    Outcome outcome;
    std::string message;
    {
        std::lock_guard lock(m_endMutex);
        outcome = m_outcome;
        message = m_endMessage;
    }
    m_lastOutcome = outcome;
    switch (outcome) {
    case Outcome::Done:
        m_view.fileSize = std::to_string(m_total.load());
        setProgress(0);
        m_view.downloadEnabled = true;
        m_view.fileOpenEnabled = true;
        break;
    case Outcome::Stopped:
        m_ctx.log.Print("FirmwareScreen: stopped after %u of %u bytes\r\n", m_total.load(),
                        m_length);
        m_view.downloadEnabled = true;
        m_view.fileOpenEnabled = true;
        break;
    case Outcome::NotReady:
        m_view.downloadEnabled = true;
        break;
    case Outcome::SendFailed:
        // The bounded resend gave up; nothing runs any more, so the user may try again.
        m_view.downloadEnabled = true;
        m_view.fileOpenEnabled = true;
        break;
    default:
        // A port that was not open, a write the device refused, a printer that did not
        // answer the probe: EXIT, check the printer and open the screen again.
        break;
    }
    if (m_closing)
        m_view.closed = true;
    if (outcome == Outcome::Done)
        m_ctx.prompter.message(m_ctx.catalogue.text(MsgUpdateCompleteFirmware), kAppName,
                               Icon::Information, Buttons::Ok);
    else if (!message.empty())
        m_ctx.prompter.message(message, kAppName, Icon::Stop, Buttons::Ok);
}

void FirmwareScreen::exit() {
    if (m_view.closed)
        return;
    if (!running()) {
        m_view.closed = true;
        return;
    }
    if (m_closing)
        return;
    Answer answer = m_ctx.prompter.message(stopQuestion(isKorean(m_ctx.langId)), kAppName,
                                           Icon::Question, Buttons::YesNo);
    if (answer != Answer::Yes)
        return;
    if (!running()) { // it ended while the question was up
        m_view.closed = true;
        return;
    }
    m_closing = true;
    m_stop = true;
    update();
}

} // namespace korva
