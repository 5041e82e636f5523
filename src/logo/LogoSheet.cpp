#include "logo/LogoSheet.h"

#include "app/ModelRules.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "comm/CPorts.h"
#include "logo/NvUpload.h"

#include <algorithm>

namespace korva {

LogoSheet::LogoSheet(const LogoContext& context, Profile& profile, std::string portName,
                     std::string summary, bool loadProfile)
    : m_ctx(context), m_profile(profile), m_options(LogoOptions::defaultsFor(context.modelKind)),
      m_list(m_options, context.catalogue, context.prompter), m_portName(std::move(portName)),
      m_summary(std::move(summary)) {
    m_list.ResetList();
    if (loadProfile)
        m_list.storedKeyCount = m_list.LoadFromProfile(m_profile);
    m_setup.maxPrintableWidth = m_options.maxPrintableWidth;
    m_setup.grayEnabled = context.modelKind != ModelKindKorva10;
    m_setup.device = m_summary;
}

int LogoSheet::openFiles() {
    m_list.takeFailedAsPending();
    FileDialog dialog;
    dialog.filter = "Bitmap Files(*.bmp)|*.bmp||";
    dialog.defaultExt = ".bmp";
    dialog.multiple = true;
    if (m_list.entryCount() > 0)
        dialog.initialPath = m_list.entry(m_list.entryCount() - 1).path;
    return addFiles(m_ctx.prompter.openFiles(dialog));
}

int LogoSheet::addFiles(const std::vector<std::string>& paths) {
    int added = 0;
    for (const std::string& path : paths) {
        if (!m_list.AddEntry(0, path))
            break;
        ++added;
    }
    korva30Notice();
    return added;
}

void LogoSheet::korva30Notice() {
    if (m_ctx.modelKind == ModelKindKorva30 && m_list.usedKB() > NvUpload::kKorva30LimitKB)
        m_ctx.prompter.message(NvUpload::kKorva30Notice, "Notice", Icon::None, Buttons::Ok);
}

bool LogoSheet::removeRows(std::vector<int> rows) {
    if (rows.empty()) {
        m_ctx.prompter.message(m_ctx.catalogue.text(MsgBmpNotSelected), kAppName, Icon::Exclamation,
                               Buttons::Ok);
        return false;
    }
    if (m_ctx.prompter.message("Remove selected file?", "Image downloader", Icon::Question,
                               Buttons::YesNo) != Answer::Yes)
        return false;
    std::vector<int> numbers;
    for (int row : rows)
        if (row >= 0 && row < m_list.entryCount())
            numbers.push_back(m_list.entry(row).number);
    // Centre flags follow their rows as the rows move up.
    std::sort(rows.begin(), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const int row = *it;
        if (row < 0 || row >= m_list.entryCount())
            continue;
        for (int i = row; i + 1 < LogoOptions::kMaxImages; ++i)
            m_options.centre[static_cast<std::size_t>(i)] =
                m_options.centre[static_cast<std::size_t>(i + 1)];
        m_options.centre[LogoOptions::kMaxImages - 1] = 0;
    }
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it)
        m_list.RemoveEntry(*it);
    m_list.selectedRow = -1;
    return true;
}

bool LogoSheet::reset() {
    if (m_ctx.prompter.message(m_ctx.catalogue.text(MsgResetList), kAppName, Icon::Question,
                               Buttons::YesNo) != Answer::Yes)
        return false;
    m_list.ResetList();
    m_list.LoadFromProfile(m_profile);
    return true;
}

void LogoSheet::setCentre(int position, bool on) {
    if (position >= 0 && position < LogoOptions::kMaxImages)
        m_options.centre[static_cast<std::size_t>(position)] = on ? 1 : 0;
}

std::string LogoSheet::printerName() const {
    if (m_portName == "FILE")
        return "To File";
    return m_ctx.modelKind == ModelKindKorva10 ? "KORVA10" : "KORVA";
}

std::string LogoSheet::portText() const {
    return m_portName == "FILE" ? "To File" : m_portName;
}

void LogoSheet::setPrintToFile(bool on) {
    if (on == m_setup.printToFile)
        return;
    m_setup.printToFile = on;
    if (on) {
        m_savedPortName = m_portName;
        m_portName = "FILE";
        m_setup.device = "FILE";
    } else {
        m_portName = m_savedPortName;
        m_setup.device = m_summary;
    }
    m_ctx.ports.m_PortName = m_portName;
}

void LogoSheet::setGray(bool on) {
    if (!m_setup.grayEnabled)
        return;
    m_setup.gray = on;
    m_list.setGraySizes(on);
}

bool LogoSheet::setMaxPrintableWidth(int dots) {
    if (dots < 1 || dots > 512)
        return false;
    m_setup.maxPrintableWidth = dots;
    return true;
}

bool LogoSheet::setThreshold(int value) {
    if (value < 0 || value > 255)
        return false;
    m_setup.threshold = value;
    return true;
}

void LogoSheet::leaveSetup() {
    m_options.maxPrintableWidth = m_setup.maxPrintableWidth;
    m_options.threshold = m_setup.threshold;
    m_options.starEmulation = m_setup.star;
}

bool LogoSheet::ok() {
    m_options.maxPrintableWidth = m_setup.maxPrintableWidth;
    if (m_setup.printToFile || m_portName == "ETHERNET_II")
        return true;
    LogoLink link(m_ctx, m_portName);
    if (!link.open(false)) {
        link.showOpenFailure(MsgPortOpenError);
        return false;
    }
    if (link.kind() != LogoPortKind::Parallel &&
        !link.write(LogoLink::kInitialise, sizeof LogoLink::kInitialise)) {
        link.showMessage(MsgWriteToPortError);
        return false;
    }
    return link.printerCheck(kSetupReplyMs);
}

} // namespace korva
