#pragma once
// The bitmaps that become the printer's NV images: number, name, NV size and path per entry,
// the count and memory texts every page shows, and the bookkeeping of removed and failed
// numbers. One list per opening of the logo tool, owned by the sheet (LogoSheet).
//
// Use from a window: render rows from entryCount() and the *Text(i) accessors, show countText()
// and memoryText(); keep the selected row in selectedRow. Refusals are shown through the
// Prompter with the catalogue's messages and leave the list unchanged. ColumnSorter gives a
// page's header-click order without changing the list itself.
//
// Not thread-safe: the pages' thread only.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korva {

class MessageCatalogue;
class Profile;
class Prompter;
struct LogoOptions;

struct LogoEntry {
    int number = 0;        // NV image number 1..255 (orders the upload)
    std::string name;      // the path after its last '/' (or '\')
    std::int64_t size = 0; // NV bytes (x 4 while gray printing is on)
    std::string path;
};

class LogoList {
public:
    static constexpr int kMaxEntries = 255;
    static constexpr const char* kSection = "LOGO";
    static constexpr const char* kKeyFormat = "Logofile%d";

    LogoList(LogoOptions& options, const MessageCatalogue& catalogue, Prompter& prompter);

    // Adds one file: number 0 when added by the user, the key index when restored from the
    // profile. False (after its message) when refused: 255 entries, a file that cannot be read
    // as a bitmap, an unsupported depth, an image the converter cannot hold, or no room left in
    // the NV graphics memory.
    bool AddEntry(int number, const std::string& path);
    // Removes the entry with that number; its number is given to the next added file.
    bool RemoveEntry(int number);
    // Adds "Logofile1", "Logofile2", ... of section "LOGO" until the first missing key; returns
    // how many keys were read. Keys beyond 255 are counted but not added (one full-list message).
    int LoadFromProfile(const Profile& profile);
    // Empties the list; texts to zero, pending and failed numbers cleared, the load failures
    // forgotten.
    void ResetList();

    int entryCount() const { return static_cast<int>(m_entries.size()); }
    const LogoEntry& entry(int i) const { return m_entries[static_cast<std::size_t>(i)]; }
    const std::vector<LogoEntry>& entries() const { return m_entries; }
    std::int64_t totalBytes() const { return m_total; }
    // Column texts as the list shows them ("%3d", name, "%15d", path).
    std::string numberText(int i) const;
    std::string sizeText(int i) const;
    // The cell text of column 0 (blank), 1 (No.), 2 (Name) or 3 (Size).
    std::string cellText(int i, int column) const;
    const std::string& countText() const { return m_countText; }
    const std::string& memoryText() const { return m_memoryText; }
    // The leading integer of the memory text (the KB used as the pages show it).
    int usedKB() const;
    // Gives position i another image number (1..255), as a command line that names it does.
    void setNumber(int i, int number) { m_entries[static_cast<std::size_t>(i)].number = number; }
    // The first position whose number is n, or -1.
    int findNumber(int n) const;

    // Positions sorted by entry number ascending (exchange sort, ties keep no particular order).
    std::vector<int> uploadOrder() const;

    // Gray printing switched: every size and the total multiplied by 4 (on) or divided by 4
    // (off), the memory text refreshed with total / 1024.
    void setGraySizes(bool gray);

    // "&Open File...": failed numbers join the pending numbers (sorted), failed cleared; numbers
    // freed by removals and not given out yet stay pending.
    void takeFailedAsPending();
    const std::vector<int>& failedNumbers() const { return m_failed; }
    const std::vector<int>& pendingNumbers() const { return m_pending; }
    int loadFailures() const { return m_loadFailures; }

    // The texts of an empty list for the options' capacity.
    void resetTexts();

    int selectedRow = -1;
    int storedKeyCount = 0;

private:
    void refuse(int number, int message, bool firstOnly);
    void setMemoryText(std::int64_t kb);

    LogoOptions& m_options;
    const MessageCatalogue& m_catalogue;
    Prompter& m_prompter;
    std::vector<LogoEntry> m_entries;
    std::int64_t m_total = 0;
    std::string m_countText;
    std::string m_memoryText;
    int m_loadFailures = 0;
    std::vector<int> m_pending;
    std::size_t m_pendingRead = 0;
    std::vector<int> m_failed;
};

// A page's header-click sorting: the last-sorted column (initially 0) and the direction
// (initially descending). click() gives the order of the list's positions for that column;
// activation() the order a page shows when it becomes active (first column ascending).
class ColumnSorter {
public:
    std::vector<int> click(const LogoList& list, int column);
    static std::vector<int> sorted(const LogoList& list, int column, bool ascending);
    static std::vector<int> activation(const LogoList& list) { return sorted(list, 0, true); }
    int lastColumn() const { return m_column; }
    bool ascending() const { return m_ascending; }

private:
    int m_column = 0;
    bool m_ascending = false;
};

} // namespace korva
