#include "logo/LogoList.h"

#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/Prompter.h"
#include "logo/BmpDecoder.h"
#include "logo/LogoOptions.h"
#include "logo/NvSize.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace korva {

namespace {

std::string countTextOf(long long n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%3lld / 255", n);
    return buffer;
}

std::string memoryTextOf(long long kb, long long capacity) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%3lld / %3lld KByte", kb, capacity);
    return buffer;
}

std::string padded(long long v, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*lld", width, v);
    return buffer;
}

std::string baseName(const std::string& path) {
    std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::int64_t kbUp(std::int64_t bytes) {
    return (bytes + 1023) / 1024;
}

} // namespace

LogoList::LogoList(LogoOptions& options, const MessageCatalogue& catalogue, Prompter& prompter)
    : m_options(options), m_catalogue(catalogue), m_prompter(prompter) {
    resetTexts();
}

void LogoList::resetTexts() {
    m_countText = countTextOf(0);
    m_memoryText = memoryTextOf(0, m_options.nvGraphicsKB);
}

void LogoList::setMemoryText(std::int64_t kb) {
    m_memoryText = memoryTextOf(kb, m_options.nvGraphicsKB);
}

void LogoList::refuse(int number, int message, bool firstOnly) {
    if (firstOnly) {
        ++m_loadFailures;
        // A file added by hand has no number of its own to hand on to a later add.
        if (number > 0)
            m_failed.push_back(number);
        if (m_loadFailures != 1)
            return;
    }
    m_prompter.message(m_catalogue.text(message), kAppName, Icon::Exclamation, Buttons::Ok);
}

bool LogoList::AddEntry(int number, const std::string& path) {
    if (entryCount() >= kMaxEntries) {
        m_prompter.message(m_catalogue.text(MsgCannotReadMoreFiles), kAppName, Icon::None,
                           Buttons::Ok);
        return false;
    }
    BmpImage image;
    BmpDecodeResult result = BmpDecoder::decodeFile(path, image);
    const BitmapDescription& d = result.description;
    const bool measurable =
        result.ok() || (result.status == BmpStatus::TooLarge && d.width > 0 && d.height > 0);
    if (!measurable) {
        refuse(number, MsgLogFileBitmapIncorrect, true);
        return false;
    }
    NvSize size = MeasureNvSize(d, m_options.grayPrinting);
    if (size.status == NvSizeStatus::UnsupportedDepth) {
        m_prompter.message(m_catalogue.text(MsgUnsupportedBitmap), kAppName, Icon::None,
                           Buttons::Ok);
        return false;
    }
    if (!FitsNvBudget(m_total, size.bytes, m_options.nvGraphicsKB)) {
        if (m_loadFailures == 0 && number == 0)
            m_prompter.message(m_catalogue.text(MsgNvAreaTooSmall), kAppName, Icon::None,
                               Buttons::Ok);
        else
            refuse(number, MsgLogFileBitmapIncorrect, true);
        return false;
    }
    if (!size.admissible()) {
        // Fits the memory but not the converter's buffers: it could never be sent whole.
        m_prompter.message(m_catalogue.text(MsgUnsupportedBitmap), kAppName, Icon::None,
                           Buttons::Ok);
        return false;
    }

    LogoEntry e;
    if (!m_pending.empty()) {
        e.number = m_pending[m_pendingRead++];
        if (m_pendingRead >= m_pending.size()) {
            m_pending.clear();
            m_pendingRead = 0;
        }
    } else {
        e.number = number > 0 ? number : entryCount() + 1;
    }
    e.name = baseName(path);
    e.size = size.bytes;
    e.path = path;
    m_entries.push_back(std::move(e));
    m_total += size.bytes;
    m_countText = countTextOf(entryCount());
    setMemoryText(kbUp(m_total));
    return true;
}

bool LogoList::RemoveEntry(int number) {
    int i = findNumber(number);
    if (i < 0)
        return false;
    m_pending.push_back(number);
    m_total -= m_entries[static_cast<std::size_t>(i)].size;
    m_entries.erase(m_entries.begin() + i);
    m_countText = countTextOf(entryCount());
    setMemoryText(kbUp(m_total));
    // Unread pending numbers stay ahead of those already given out.
    m_pending.erase(m_pending.begin(),
                    m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingRead));
    m_pendingRead = 0;
    std::sort(m_pending.begin(), m_pending.end());
    return true;
}

int LogoList::LoadFromProfile(const Profile& profile) {
    int k = 1;
    for (;; ++k) {
        char key[32];
        std::snprintf(key, sizeof key, kKeyFormat, k);
        std::string value = profile.GetString(kSection, key, "");
        if (value.empty())
            break;
        // Image numbers end at 255: a longer hand-made section cannot give its later files
        // numbers of their own. They are counted (an upload deletes their keys) and refused
        // once, with the message of a full list.
        if (k > kMaxEntries) {
            if (k == kMaxEntries + 1)
                m_prompter.message(m_catalogue.text(MsgCannotReadMoreFiles), kAppName, Icon::None,
                                   Buttons::Ok);
            continue;
        }
        AddEntry(k, value);
    }
    return k - 1;
}

void LogoList::ResetList() {
    m_entries.clear();
    m_total = 0;
    m_pending.clear();
    m_pendingRead = 0;
    m_failed.clear();
    m_loadFailures = 0;
    selectedRow = -1;
    resetTexts();
}

std::string LogoList::numberText(int i) const {
    return padded(entry(i).number, 3);
}

std::string LogoList::sizeText(int i) const {
    return padded(entry(i).size, 15);
}

std::string LogoList::cellText(int i, int column) const {
    switch (column) {
    case 1:
        return numberText(i);
    case 2:
        return entry(i).name;
    case 3:
        return sizeText(i);
    default:
        return " ";
    }
}

int LogoList::usedKB() const {
    return std::atoi(m_memoryText.c_str());
}

int LogoList::findNumber(int n) const {
    for (int i = 0; i < entryCount(); ++i)
        if (entry(i).number == n)
            return i;
    return -1;
}

std::vector<int> LogoList::uploadOrder() const {
    const int n = entryCount();
    std::vector<int> order(static_cast<std::size_t>(n));
    std::vector<int> key(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        order[static_cast<std::size_t>(i)] = i;
        key[static_cast<std::size_t>(i)] = entry(i).number;
    }
    for (int i = 0; i + 1 < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (key[static_cast<std::size_t>(i)] > key[static_cast<std::size_t>(j)]) {
                std::swap(key[static_cast<std::size_t>(i)], key[static_cast<std::size_t>(j)]);
                std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
            }
    return order;
}

void LogoList::setGraySizes(bool gray) {
    if (gray == m_options.grayPrinting)
        return;
    m_options.grayPrinting = gray;
    m_total = 0;
    for (LogoEntry& e : m_entries) {
        e.size = gray ? e.size * 4 : e.size / 4;
        m_total += e.size;
    }
    setMemoryText(m_total / 1024);
}

void LogoList::takeFailedAsPending() {
    if (m_failed.empty())
        return;
    // Numbers freed by a removal and not given out yet stay pending as well: dropping them would
    // later hand a file the number a listed entry already has.
    m_pending.erase(m_pending.begin(),
                    m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingRead));
    m_pendingRead = 0;
    m_pending.insert(m_pending.end(), m_failed.begin(), m_failed.end());
    std::sort(m_pending.begin(), m_pending.end());
    m_failed.clear();
}

std::vector<int> ColumnSorter::sorted(const LogoList& list, int column, bool ascending) {
    std::vector<int> rows(static_cast<std::size_t>(list.entryCount()));
    for (int i = 0; i < list.entryCount(); ++i)
        rows[static_cast<std::size_t>(i)] = i;
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        int c = ::strcasecmp(list.cellText(a, column).c_str(), list.cellText(b, column).c_str());
        return ascending ? c < 0 : c > 0;
    });
    return rows;
}

std::vector<int> ColumnSorter::click(const LogoList& list, int column) {
    if (column == m_column)
        m_ascending = !m_ascending;
    else
        m_column = column;
    return sorted(list, column, m_ascending);
}

} // namespace korva
