#include "logo/NvUpload.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/Prompter.h"
#include "comm/CPorts.h"
#include "logo/LogoList.h"
#include "logo/LogoOptions.h"
#include "logo/NvImageRecord.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korva {

namespace {

// "ERROR[%d] - ..." with the system's error code in the placeholder.
std::string printfText(const char* format, int code) {
    std::string text = format;
    std::size_t at = text.find("%d");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(code));
    return text;
}

} // namespace

NvUpload::NvUpload(const LogoContext& context, LogoList& list, const LogoOptions& options,
                   Profile& profile, TimerHost& timers, std::string portName)
    : m_ctx(context), m_list(list), m_options(options), m_profile(profile), m_timers(timers),
      m_portName(portName), m_link(context, std::move(portName)) {}

NvUpload::~NvUpload() {
    m_timers.kill(kStartTimer);
    m_timers.kill(kNextTimer);
}

void NvUpload::showText(const std::string& text, Icon icon) {
    m_ctx.prompter.message(text, kAppName, icon, Buttons::Ok);
}

bool NvUpload::begin() {
    if (m_ctx.modelKind == ModelKindKorva30 && m_list.usedKB() > kKorva30LimitKB) {
        m_ctx.prompter.message(kKorva30Notice, "Notice", Icon::None, Buttons::Ok);
        return false;
    }
    if (m_list.entryCount() == 0) {
        eraseAll();
        return false;
    }
    if (m_ctx.prompter.message(m_ctx.catalogue.text(MsgAllImagesWritten), kAppName, Icon::Question,
                               Buttons::YesNo) != Answer::Yes)
        return false;
    if (!connect()) {
        m_link.close();
        if (m_link.network())
            m_link.closeSocket();
        return false;
    }
    m_count = m_list.entryCount();
    m_dialog = true;
    return true;
}

bool NvUpload::connect() {
    switch (m_link.kind()) {
    case LogoPortKind::Parallel:
        if (!m_link.open(true)) {
            m_link.showOpenFailure(MsgPortOpenError);
            return false;
        }
        return m_link.printerCheck();
    case LogoPortKind::Network:
        if (!m_link.probe()) {
            m_link.showMessage(MsgPortOpenError, false);
            return false;
        }
        return true;
    case LogoPortKind::File:
    case LogoPortKind::Other:
        break;
    }
    if (!m_link.open(false)) {
        const int code = errno;
        showText(
            m_link.withOpenFailure(printfText(m_ctx.catalogue.text(MsgOpenPortOrFileError), code)));
        return false;
    }
    if (m_link.kind() == LogoPortKind::File)
        return true;
    if (!m_link.printerCheck())
        return false;
    if (!m_link.write(LogoLink::kInitialise, sizeof LogoLink::kInitialise)) {
        m_link.showMessage(MsgPrinterCheckError);
        return false;
    }
    return true;
}

bool NvUpload::eraseAll() {
    if (m_ctx.prompter.message(m_ctx.catalogue.text(MsgNoFileSelectedErase), kAppName, Icon::None,
                               Buttons::YesNo) != Answer::Yes)
        return false;
    bool ready = true;
    switch (m_link.kind()) {
    case LogoPortKind::Network:
        m_ctx.socket.Close();
        if (!m_ctx.socket.Create() ||
            !m_ctx.socket.Connect(m_ctx.ethernet.ipAddress, m_ctx.ethernet.acceptedPort)) {
            ready = false;
        } else {
            m_ctx.clock.sleepMs(kNetworkEraseConnectMs);
            ready = m_ctx.socket.Send(nullptr, 0) == 0;
        }
        if (!ready) {
            const int code = errno;
            showText(printfText(m_ctx.catalogue.text(MsgOpenPortOrFileError), code), Icon::None);
        }
        break;
    case LogoPortKind::Parallel:
    case LogoPortKind::File:
    case LogoPortKind::Other:
        if (!m_link.open(true)) {
            m_link.showOpenFailure(MsgPortOpenError);
            ready = false;
        } else if (m_link.kind() != LogoPortKind::File) {
            ready = m_link.printerCheck();
            if (ready && m_link.kind() == LogoPortKind::Other &&
                !m_link.write(LogoLink::kInitialise, sizeof LogoLink::kInitialise)) {
                m_link.showMessage(MsgPrinterCheckError);
                ready = false;
            }
        }
        break;
    }
    bool sent = false;
    if (ready) {
        sent = m_link.write(kEraseAll, sizeof kEraseAll);
        if (!sent)
            m_link.showMessage(MsgWriteToPortError);
    }
    m_link.close();
    if (m_link.network())
        m_link.closeSocket();
    m_outcome = sent ? UploadOutcome::Erased : UploadOutcome::Failed;
    return sent;
}

void NvUpload::initDialog() {
    m_totalBytes = m_list.totalBytes();
    m_view.rangeMax = static_cast<int>(m_totalBytes / 100);
    m_view.position = 0;
    m_view.status = "Erasing...";
    m_bytesSent = 0;
    m_imageCounter = 0;
    m_started = 0;
    m_cancel = m_error = m_listUnrecorded = false;
    m_orderIndex = -1;
    m_order = m_list.uploadOrder();
    m_raster = std::make_unique<CBitmapRaster>(m_options);

    std::vector<std::uint8_t> define;
    if (m_options.starEmulation)
        define.push_back(0x1B);
    define.insert(define.end(), {0x1C, 0x71, static_cast<std::uint8_t>(m_count)});
    if (!m_link.write(define)) {
        const int code = errno;
        m_error = true;
        m_timers.kill(kStartTimer);
        showText(m_ctx.catalogue.text(MsgCannotTransmit));
        m_ctx.log.Print("CProgress OnInitDialog[%d]", code);
        closeDialog();
        return;
    }
    refresh();
    // The printer erases its NV graphics memory now and loses whatever arrives meanwhile.
    m_ctx.clock.sleepMs(m_link.network() ? kEraseWaitNetworkMs : kEraseWaitMs);
    m_timers.start(kStartTimer, kStepMs);
}

void NvUpload::onTimer(int id) {
    if (id == kStartTimer) {
        m_timers.kill(kStartTimer);
        sendNext();
    } else if (id == kNextTimer) {
        m_timers.kill(kNextTimer);
        if (m_imageCounter < m_count)
            sendNext();
        else
            finish();
    }
}

int NvUpload::currentEntryWait() const {
    // Before the first image nothing has gone out that the printer would still be storing.
    if (m_orderIndex < 0 || m_orderIndex >= static_cast<int>(m_order.size()))
        return 0;
    return static_cast<int>(m_list.entry(m_order[static_cast<std::size_t>(m_orderIndex)]).size);
}

void NvUpload::status(const std::string& name) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "Updating(%lld/%lld)...%s",
                  static_cast<long long>(m_bytesSent), static_cast<long long>(m_totalBytes),
                  name.c_str());
    m_view.status = buffer;
}

void NvUpload::refresh() {
    if (m_progress)
        m_progress();
}

void NvUpload::sendNext() {
    if (m_closed)
        return;
    if (++m_imageCounter > m_count)
        return;
    if (m_cancel) {
        m_waitMs = currentEntryWait();
        m_ctx.clock.sleepMs(2 * m_waitMs);
        closeDialog();
        return;
    }
    m_waitMs = 0;
    ++m_started;
    ++m_orderIndex;
    const LogoEntry& entry = m_list.entry(m_order[static_cast<std::size_t>(m_orderIndex)]);
    const bool gray = m_options.grayPrinting;
    const int centre =
        m_options.centre[static_cast<std::size_t>(m_order[static_cast<std::size_t>(m_orderIndex)])];
    std::array<std::uint8_t, 4> header{};
    // A file moved, deleted or spoiled since it was listed must not announce data that never
    // follows: the upload stops and end() completes the command with empty records.
    if (!m_raster->Load(entry.path) ||
        !(gray ? m_raster->ConvertGray() : m_raster->ConvertMonochrome(centre)) ||
        !NvImageRecord::header(m_raster->W8(), m_raster->H8(), gray, header)) {
        m_unreadable = entry.path;
        m_ctx.log.Print("CPrograss Load [%s]", entry.path.c_str());
        closeDialog();
        return;
    }
    // The list weighs the image without the blank columns that centre it, which go out too.
    m_totalBytes += static_cast<std::int64_t>(m_raster->centringPadBytes());
    m_view.rangeMax = static_cast<int>(m_totalBytes / 100);
    status(entry.name);
    refresh();

    if (!m_link.write(header.data(), header.size())) {
        m_error = true;
        showText(m_ctx.catalogue.text(MsgCannotTransmit));
        m_ctx.log.Print("CPrograss writeInstruction[%d]", 0);
        m_ctx.log.Print("CPrograss WriteInstruction [%02X-%02X-%02X-%02X]\n", header[0], header[1],
                        header[2], header[3]);
        closeDialog();
        return;
    }
    const std::uint8_t* data = m_raster->output();
    const std::size_t length = m_raster->outputLength();
    std::size_t offset = 0;
    const std::size_t full = length / kChunk;
    for (std::size_t i = 0; i <= full; ++i) {
        const std::size_t piece = i < full ? kChunk : length % kChunk;
        if (!m_link.write(data + offset, piece)) {
            const int code = errno;
            m_error = true;
            showText(m_ctx.catalogue.text(MsgCannotTransmit));
            m_ctx.log.Print("CPrograss writeInstruction[%d]", code);
            closeDialog();
            return;
        }
        offset += piece;
        m_bytesSent += static_cast<std::int64_t>(piece);
        m_view.position = static_cast<int>(m_bytesSent / 100);
        status(entry.name);
        refresh();
        m_ctx.clock.sleepMs(kChunkPauseMs);
    }
    if (!m_closed)
        m_timers.start(kNextTimer, kStepMs);
}

void NvUpload::finish() {
    if (!m_cancel) {
        // The whole list in one replacement of the file: one write instead of one per image,
        // and a crash leaves the old list or the new one.
        char key[32];
        std::vector<std::string> keys;
        for (int j = 1; j <= std::max(m_orderIndex + 1, m_list.storedKeyCount); ++j) {
            std::snprintf(key, sizeof key, LogoList::kKeyFormat, j);
            keys.emplace_back(key);
        }
        std::vector<std::pair<std::string_view, std::optional<std::string_view>>> entries;
        for (int j = 0; j <= m_orderIndex; ++j)
            entries.emplace_back(keys[static_cast<std::size_t>(j)],
                                 m_list.entry(m_order[static_cast<std::size_t>(j)]).path);
        for (int k = m_orderIndex + 2; k <= m_list.storedKeyCount; ++k)
            entries.emplace_back(keys[static_cast<std::size_t>(k - 1)], std::nullopt);
        const bool stored = m_profile.WriteStrings(LogoList::kSection, entries);
        if (!stored) {
            m_ctx.log.Print("CProgress profile write failed [%s]", m_profile.path().c_str());
            m_listUnrecorded = true;
        }
        m_list.storedKeyCount = m_orderIndex + 1;
    }
    closeDialog();
}

void NvUpload::closeDialog() {
    m_timers.kill(kStartTimer);
    m_timers.kill(kNextTimer);
    m_closed = true;
}

void NvUpload::cancel() {
    if (m_closed)
        return;
    m_cancel = true;
    closeDialog();
}

void NvUpload::cancelMode() {
    if (m_closed)
        return;
    if (!m_error) {
        m_cancel = true;
        m_waitMs = currentEntryWait();
        m_ctx.clock.sleepMs(2 * m_waitMs);
    }
    closeDialog();
}

UploadOutcome NvUpload::end() {
    if (!m_dialog)
        return m_outcome;
    m_dialog = false;
    const bool unreadable = !m_unreadable.empty();
    if (!m_error && !m_cancel && !unreadable) {
        std::string text = m_ctx.catalogue.text(MsgNvDefinitionComplete);
        // The printer holds the images, but the next upload of the stored list would not.
        if (m_listUnrecorded)
            text += "\r\nThe list of files could not be recorded in " + m_profile.path() + ".";
        showText(text);
        m_outcome = UploadOutcome::Completed;
    } else if (!m_error) {
        // One empty record more than the images not started: the printer's command ends
        // well-formed whatever it had counted.
        static constexpr std::uint8_t kFiller[4] = {0, 0, 0, 0};
        bool allSent = true;
        for (int i = 0; i <= m_count - m_started; ++i)
            if (!m_link.write(kFiller, sizeof kFiller)) {
                allSent = false;
                m_link.showMessage(MsgWriteToPortError);
            }
        if (allSent)
            m_ctx.clock.sleepMs(m_waitMs);
        if (unreadable)
            showText(std::string(m_ctx.catalogue.text(MsgLogFileBitmapIncorrect)) + "\r\n(" +
                     m_unreadable + ")");
        m_outcome = unreadable || !allSent ? UploadOutcome::Failed : UploadOutcome::Cancelled;
    } else {
        m_outcome = UploadOutcome::Failed;
    }
    m_link.close();
    if (m_link.network())
        m_link.closeSocket();
    return m_outcome;
}

} // namespace korva
