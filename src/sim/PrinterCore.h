#pragma once
// The printer's one state, shared by every link: settings, NV images, firmware receipt,
// network record, the paper, and the running report of what arrived.
//
// Locking: every method except report() expects the caller to hold mutex(); the decoders take
// it once per received chunk. report() takes it itself and returns a consistent snapshot;
// sameReport() expects the caller to hold both printers' locks.
// Report lists are bounded (kMaxEntries each; later entries are counted, not kept) so a
// printer fed for hours cannot grow without limit.
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/FirmwareReceiver.h"
#include "sim/NetConfigResponder.h"
#include "sim/NvStore.h"
#include "sim/SettingStore.h"
#include "sim/SimModel.h"
#include "sim/SimOptions.h"

namespace korva {

class PrinterCore {
public:
    static constexpr std::size_t kMaxEntries = 200000;
    static constexpr std::size_t kMaxTextBytes = 4096; // per text entry and per paper line

    // netPort: the TCP port the network record reports.
    PrinterCore(const SimOptions& options, int netPort);

    // The network record options as a record; false with the reason when one does not parse.
    static bool networkConfig(const SimOptions& options, int netPort,
                              NetConfigResponder::Config& config, std::string& error);

    std::mutex& mutex() const { return m_mutex; }
    const SimOptions& options() const { return m_options; }
    const SimModel& model() const { return m_model; }
    SettingStore& settings() { return m_settings; }
    NvStore& nv() { return m_nv; }
    // Bytes of NV graphics memory, as the stored "NV graphic memory" setting divides it now.
    std::size_t nvCapacityBytes() const;
    FirmwareReceiver& firmware() { return m_firmware; }
    NetConfigResponder& network() { return m_network; }

    // Setup bracket and the busy time after Leave setup mode (steady milliseconds).
    bool inBracket() const { return m_inBracket; }
    void enterBracket();
    void leaveBracket(std::int64_t busyUntilMs);
    bool busy(std::int64_t nowMs) const { return nowMs < m_busyUntilMs; }
    // The NV graphics memory erase after a definition command.
    void startNvErase(std::int64_t untilMs) { m_nvEraseUntilMs = untilMs; }
    bool nvErasing(std::int64_t nowMs) const { return nowMs < m_nvEraseUntilMs; }
    // The flash sector erase after a KORVA10 erase packet.
    void startSectorErase(std::int64_t untilMs) { m_sectorEraseUntilMs = untilMs; }
    bool sectorErasing(std::int64_t nowMs) const { return nowMs < m_sectorEraseUntilMs; }
    void countWrite() { ++m_writes; }
    void countQuery(bool answered);

    // Report entries. Text, NUL and undecodable runs that continue the link's previous entry
    // of the same kind are merged into it. extra: the command's own fields, an object (null
    // for none).
    void addCommand(const std::string& link, std::uint64_t offset, std::uint64_t length,
                    const char* cmd, nlohmann::json extra = nullptr);
    void addText(const std::string& link, std::uint64_t offset, std::span<const std::uint8_t> text);
    void addNul(const std::string& link, std::uint64_t offset, std::uint64_t length);
    void addUndecodable(const std::string& link, std::uint64_t offset,
                        std::span<const std::uint8_t> bytes, const char* reason);
    void addIgnored(const std::string& link, std::uint64_t offset, std::uint64_t length,
                    const char* reason);
    void addLinkEvent(const std::string& link, const std::string& event);
    void addReceived(const std::string& link, std::uint64_t count) { m_received[link] += count; }

    // The paper: ESC @ and a cut finish the line being printed.
    void finishLine();
    void cut(bool partial);

    // NV definition: a new one replaces the store; a complete image is stored (and drawn as
    // nv-<n>.png when an output folder is set).
    void beginNvDefinition();
    void storeNvImage(NvImage image);
    // FS p: prints image n at quality m; returns whether the image exists.
    bool printNvImage(const std::string& link, std::uint64_t offset, int n, int m);

    nlohmann::json report(const nlohmann::json& links) const;

    // Whether this printer's report and other's, given the same links, would be equal. Checks
    // that compare many printers use this: building a report costs far more than the decoding
    // it reports on.
    bool sameReport(const PrinterCore& other) const;

    // The report's entries on one link without building it, for checking where its bytes went:
    // each command, undecodable and ignored entry as its list name, offset and length.
    struct EntrySpan {
        const char* list;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    std::vector<EntrySpan> entrySpans(const std::string& link) const;
    std::uint64_t received(const std::string& link) const;

private:
    struct Entry {
        std::string link;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        std::string cmd;
        nlohmann::json extra;
        std::string raw; // text bytes (text entries), shown decoded in the report

        bool operator==(const Entry&) const = default;
    };
    struct Run {
        std::string link;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        std::string reason;
        std::string head; // the first 64 bytes

        bool operator==(const Run&) const = default;
    };
    Entry* lastEntryOf(const std::string& link, const char* cmd, std::uint64_t offset);
    std::string writePng(const std::string& name, const NvImage& image, int sx, int sy);

    mutable std::mutex m_mutex;
    SimOptions m_options;
    SimModel m_model;
    SettingStore m_settings;
    NvStore m_nv;
    FirmwareReceiver m_firmware;
    NetConfigResponder m_network;

    bool m_inBracket = false;
    std::int64_t m_busyUntilMs = 0;
    std::int64_t m_nvEraseUntilMs = 0;
    std::int64_t m_sectorEraseUntilMs = 0;
    int m_enters = 0, m_writes = 0, m_leaves = 0, m_queries = 0, m_answered = 0;
    int m_nvDefinitions = 0;
    int m_cuts = 0;
    int m_printSeq = 0;

    std::vector<Entry> m_commands;
    std::map<std::string, std::size_t> m_lastEntry; // link -> index of its last command
    std::vector<Run> m_undecodable;
    std::vector<Run> m_ignored;
    std::size_t m_droppedEntries = 0;
    nlohmann::json m_linkEvents = nlohmann::json::array();
    nlohmann::json m_printed = nlohmann::json::array();
    std::map<std::string, std::uint64_t> m_received;
    std::vector<std::string> m_lines; // raw bytes of each printed line
    std::string m_line;
};

} // namespace korva
