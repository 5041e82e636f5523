#include "sim/PrinterCore.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <tuple>

#include "sim/PngWriter.h"

namespace korva {

namespace {

std::string hexOf(std::string_view bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", c);
        out += buf;
    }
    return out;
}

std::string escaped(std::string_view bytes) {
    std::string out;
    char buf[5];
    for (unsigned char c : bytes) {
        if (c < 0x80 && (c >= 0x20 || c == '\n' || c == '\r' || c == '\t')) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

// Printed text as UTF-8: the printer's Korean code page (CP949) when the bytes decode as it,
// otherwise every byte outside ASCII as \xHH.
std::string toUtf8(std::string_view bytes) {
    bool ascii = true;
    for (unsigned char c : bytes)
        if (c >= 0x80 || (c < 0x20 && c != '\n' && c != '\r' && c != '\t'))
            ascii = false;
    if (ascii)
        return std::string(bytes);
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return escaped(bytes);
    std::string in(bytes);
    std::string out(in.size() * 4 + 4, '\0');
    char* inp = in.data();
    std::size_t inLeft = in.size();
    char* outp = out.data();
    std::size_t outLeft = out.size();
    std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || inLeft != 0)
        return escaped(bytes);
    out.resize(out.size() - outLeft);
    for (unsigned char c : out)
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t')
            return escaped(bytes);
    return out;
}

NetConfigResponder::Config fallbackConfig(int netPort) {
    NetConfigResponder::Config c;
    c.ip = {192, 168, 0, 254};
    c.mask = {255, 255, 255, 0};
    c.gateway = {192, 168, 0, 1};
    c.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    c.port = static_cast<std::uint16_t>(netPort);
    return c;
}

NetConfigResponder::Config initialConfig(const SimOptions& options, int netPort) {
    NetConfigResponder::Config c;
    std::string error;
    if (!PrinterCore::networkConfig(options, netPort, c, error))
        return fallbackConfig(netPort);
    return c;
}

} // namespace

bool PrinterCore::networkConfig(const SimOptions& o, int netPort, NetConfigResponder::Config& c,
                                std::string& error) {
    if (!NetConfigResponder::parseIp(o.ip, c.ip)) {
        error = "not an IPv4 address: " + o.ip;
        return false;
    }
    if (!NetConfigResponder::parseIp(o.mask, c.mask)) {
        error = "not a subnet mask: " + o.mask;
        return false;
    }
    if (!NetConfigResponder::parseIp(o.gateway, c.gateway)) {
        error = "not a gateway address: " + o.gateway;
        return false;
    }
    if (!NetConfigResponder::parseMac(o.mac, c.mac)) {
        error = "not a MAC address (00:1A:2B:3C:4D:5E): " + o.mac;
        return false;
    }
    if (netPort < 0 || netPort > 65535) {
        error = "network port out of range: " + std::to_string(netPort);
        return false;
    }
    c.dhcp = o.dhcp;
    c.port = static_cast<std::uint16_t>(netPort);
    return true;
}

PrinterCore::PrinterCore(const SimOptions& options, int netPort)
    : m_options(options), m_model(SimModel::forName(options.model)),
      m_settings(m_model.kind, m_model.nvGraphicKB),
      m_firmware(m_model.kind, options.nakEveryK, options.dropAckAt),
      m_network(initialConfig(options, netPort)) {}

void PrinterCore::enterBracket() {
    m_inBracket = true;
    ++m_enters;
}

void PrinterCore::leaveBracket(std::int64_t busyUntilMs) {
    m_inBracket = false;
    ++m_leaves;
    m_busyUntilMs = busyUntilMs;
}

void PrinterCore::countQuery(bool answered) {
    ++m_queries;
    if (answered)
        ++m_answered;
}

PrinterCore::Entry* PrinterCore::lastEntryOf(const std::string& link, const char* cmd,
                                             std::uint64_t offset) {
    auto it = m_lastEntry.find(link);
    if (it == m_lastEntry.end() || it->second >= m_commands.size())
        return nullptr;
    Entry& e = m_commands[it->second];
    if (e.cmd != cmd || e.offset + e.length != offset)
        return nullptr;
    return &e;
}

void PrinterCore::addCommand(const std::string& link, std::uint64_t offset, std::uint64_t length,
                             const char* cmd, nlohmann::json extra) {
    if (m_commands.size() >= kMaxEntries) {
        ++m_droppedEntries;
        m_lastEntry.erase(link);
        return;
    }
    m_commands.push_back({link, offset, length, cmd, std::move(extra), {}});
    m_lastEntry[link] = m_commands.size() - 1;
}

void PrinterCore::addText(const std::string& link, std::uint64_t offset,
                          std::span<const std::uint8_t> text) {
    std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size());
    Entry* e = lastEntryOf(link, "text", offset);
    if (!e) {
        addCommand(link, offset, 0, "text");
        e = lastEntryOf(link, "text", offset);
    }
    if (e) {
        e->length += text.size();
        std::size_t room = kMaxTextBytes - std::min(kMaxTextBytes, e->raw.size());
        e->raw.append(bytes.substr(0, room));
    }
    for (char c : bytes) {
        if (c == '\n') {
            if (m_lines.size() < kMaxEntries)
                m_lines.push_back(m_line);
            m_line.clear();
        } else if (c != '\r' && m_line.size() < kMaxTextBytes) {
            m_line += c;
        }
    }
}

void PrinterCore::addNul(const std::string& link, std::uint64_t offset, std::uint64_t length) {
    if (Entry* e = lastEntryOf(link, "nul", offset))
        e->length += length;
    else
        addCommand(link, offset, length, "nul");
}

void PrinterCore::addUndecodable(const std::string& link, std::uint64_t offset,
                                 std::span<const std::uint8_t> bytes, const char* reason) {
    std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!m_undecodable.empty()) {
        Run& last = m_undecodable.back();
        if (last.link == link && last.reason == reason && last.offset + last.length == offset) {
            last.length += bytes.size();
            if (last.head.size() < 64)
                last.head.append(view.substr(0, 64 - last.head.size()));
            return;
        }
    }
    if (m_undecodable.size() >= kMaxEntries) {
        ++m_droppedEntries;
        return;
    }
    m_undecodable.push_back({link, offset, bytes.size(), reason, std::string(view.substr(0, 64))});
}

void PrinterCore::addIgnored(const std::string& link, std::uint64_t offset, std::uint64_t length,
                             const char* reason) {
    if (!m_ignored.empty()) {
        Run& last = m_ignored.back();
        if (last.link == link && last.reason == reason && last.offset + last.length == offset) {
            last.length += length;
            return;
        }
    }
    if (m_ignored.size() >= kMaxEntries) {
        ++m_droppedEntries;
        return;
    }
    m_ignored.push_back({link, offset, length, reason, {}});
}

void PrinterCore::addLinkEvent(const std::string& link, const std::string& event) {
    if (m_linkEvents.size() < kMaxEntries)
        m_linkEvents.push_back({{"link", link}, {"event", event}});
}

void PrinterCore::finishLine() {
    if (!m_line.empty()) {
        if (m_lines.size() < kMaxEntries)
            m_lines.push_back(m_line);
        m_line.clear();
    }
}

void PrinterCore::cut(bool partial) {
    (void)partial;
    finishLine();
    ++m_cuts;
}

std::size_t PrinterCore::nvCapacityBytes() const {
    // The setting is the list position + 1 of 0, 64, ..., 384 KB.
    const std::string& position = m_settings.value(0x02);
    int kb = m_model.nvGraphicKB;
    if (position.size() == 1 && position[0] >= '1' && position[0] <= '7')
        kb = (position[0] - '1') * 64;
    return static_cast<std::size_t>(kb) * 1024;
}

void PrinterCore::beginNvDefinition() {
    m_nv.clear();
    ++m_nvDefinitions;
}

std::string PrinterCore::writePng(const std::string& name, const NvImage& image, int sx, int sy) {
    if (m_options.outDir.empty() || image.widthDots <= 0 || image.heightDots <= 0)
        return "";
    std::string path = m_options.outDir + "/" + name;
    std::string error;
    if (!PngWriter::writeGray(path, image.widthDots * sx, image.heightDots * sy,
                              NvStore::render(image, sx, sy), error)) {
        addLinkEvent("out", "PNG not written: " + error);
        return "";
    }
    return path;
}

void PrinterCore::storeNvImage(NvImage image) {
    image.png = writePng("nv-" + std::to_string(image.number) + ".png", image, 1, 1);
    m_nv.add(std::move(image));
}

bool PrinterCore::printNvImage(const std::string& link, std::uint64_t offset, int n, int m) {
    const NvImage* image = m_nv.find(n);
    std::string png;
    if (image) {
        int sx = (m == 1 || m == 3) ? 2 : 1;
        int sy = (m == 2 || m == 3) ? 2 : 1;
        ++m_printSeq;
        png = writePng("print-" + std::to_string(m_printSeq) + "-nv" + std::to_string(n) + "-q" +
                           std::to_string(m) + ".png",
                       *image, sx, sy);
    }
    if (m_printed.size() < kMaxEntries)
        m_printed.push_back({{"link", link},
                             {"offset", offset},
                             {"image", n},
                             {"quality", m},
                             {"found", image != nullptr},
                             {"png", png}});
    return image != nullptr;
}

nlohmann::json PrinterCore::report(const nlohmann::json& links) const {
    std::lock_guard lock(m_mutex);
    nlohmann::json r;
    r["model"] = m_model.name;
    r["modelKind"] = m_model.kind;
    r["family"] = m_model.family;
    r["idByte"] = m_model.idByte;
    r["links"] = links;
    r["received"] = nlohmann::json::object();
    for (const auto& [link, count] : m_received)
        r["received"][link] = count;

    nlohmann::json settings = nlohmann::json::object();
    nlohmann::json byName = nlohmann::json::object();
    for (const auto& [number, value] : m_settings.values()) {
        settings[std::to_string(number)] = value;
        byName[SettingStore::nameOf(number)] = value;
    }
    r["settings"] = settings;
    r["settingsByName"] = byName;
    r["setup"] = {{"enters", m_enters},   {"writes", m_writes},     {"leaves", m_leaves},
                  {"queries", m_queries}, {"answered", m_answered}, {"inBracket", m_inBracket}};

    r["nvDefinitions"] = m_nvDefinitions;
    nlohmann::json images = nlohmann::json::array();
    for (const NvImage& image : m_nv.images()) {
        images.push_back(
            {{"number", image.number},
             {"widthDots", image.widthDots},
             {"heightDots", image.heightDots},
             {"mode", image.gray ? "gray" : "mono"},
             {"size", image.data.size()},
             {"data", hexOf({reinterpret_cast<const char*>(image.data.data()), image.data.size()})},
             {"png", image.png}});
    }
    r["nvImages"] = images;
    r["printed"] = m_printed;
    nlohmann::json lines = nlohmann::json::array();
    for (const std::string& line : m_lines)
        lines.push_back(toUtf8(line));
    r["textLines"] = lines;
    r["cuts"] = m_cuts;

    r["firmwareFrames"] = m_firmware.framesJson();
    r["packets"] = m_firmware.packetsJson();
    r["flashAreas"] = m_firmware.areasJson();
    r["network"] = m_network.toJson();

    nlohmann::json commands = nlohmann::json::array();
    for (const Entry& e : m_commands) {
        nlohmann::json j = {
            {"link", e.link}, {"offset", e.offset}, {"length", e.length}, {"cmd", e.cmd}};
        for (auto it = e.extra.begin(); it != e.extra.end(); ++it)
            j[it.key()] = it.value();
        if (e.cmd == "text")
            j["text"] = toUtf8(e.raw);
        commands.push_back(std::move(j));
    }
    r["commands"] = commands;
    nlohmann::json undecodable = nlohmann::json::array();
    for (const Run& u : m_undecodable)
        undecodable.push_back({{"link", u.link},
                               {"offset", u.offset},
                               {"length", u.length},
                               {"hex", hexOf(u.head)},
                               {"reason", u.reason}});
    r["undecodable"] = undecodable;
    nlohmann::json ignored = nlohmann::json::array();
    for (const Run& g : m_ignored)
        ignored.push_back(
            {{"link", g.link}, {"offset", g.offset}, {"length", g.length}, {"reason", g.reason}});
    r["ignored"] = ignored;
    r["linkEvents"] = m_linkEvents;
    r["droppedEntries"] = m_droppedEntries;
    return r;
}

bool PrinterCore::sameReport(const PrinterCore& other) const {
    // What report() shows, from the state it is built from; the busy and erase deadlines and
    // the unfinished paper line are not shown.
    auto shown = [](const PrinterCore& c) {
        return std::tie(c.m_model, c.m_received, c.m_settings.values(), c.m_enters, c.m_writes,
                        c.m_leaves, c.m_queries, c.m_answered, c.m_inBracket, c.m_nvDefinitions,
                        c.m_nv.images(), c.m_printed, c.m_lines, c.m_cuts, c.m_firmware,
                        c.m_network, c.m_commands, c.m_undecodable, c.m_ignored, c.m_linkEvents,
                        c.m_droppedEntries);
    };
    return shown(*this) == shown(other);
}

std::vector<PrinterCore::EntrySpan> PrinterCore::entrySpans(const std::string& link) const {
    std::vector<EntrySpan> spans;
    for (const Entry& e : m_commands)
        if (e.link == link)
            spans.push_back({"commands", e.offset, e.length});
    for (const Run& u : m_undecodable)
        if (u.link == link)
            spans.push_back({"undecodable", u.offset, u.length});
    for (const Run& g : m_ignored)
        if (g.link == link)
            spans.push_back({"ignored", g.offset, g.length});
    return spans;
}

std::uint64_t PrinterCore::received(const std::string& link) const {
    auto it = m_received.find(link);
    return it == m_received.end() ? 0 : it->second;
}

} // namespace korva
