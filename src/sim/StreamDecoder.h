#pragma once
// Decodes one link's byte stream from the printer's side, incrementally: bytes may arrive
// split or joined in any way, a command cut by a read boundary is completed by the next feed.
//
// Every received byte ends up in exactly one report entry: a decoded command, an undecodable
// run (a byte no command starts with, a command whose announced length cannot fit, a command
// cut short by the end of the stream) or an ignored run (bytes that arrived while the printer
// was busy after Leave setup mode). Announced lengths are never trusted beyond the bytes
// actually present: large payloads (NV images, area frames) are streamed and bounded.
//
// Replies (setting answers, the ID byte, DLE ACK / DLE NAK) go to the reply function, called
// on the feeding thread while the printer's lock is held; it must not call back into the core.
// delayMs is how long after the feed the reply is due (the ACK of an erase packet comes when
// the sectors are erased), 0 for at once.
// One decoder per link; feed() and finish() from one thread at a time.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "sim/FirmwareReceiver.h"
#include "sim/NvStore.h"

namespace korva {

class PrinterCore;

class StreamDecoder {
public:
    using ReplyFn = std::function<void(std::vector<std::uint8_t> bytes, int delayMs)>;

    // honourBusy: false decodes a capture, where there is no time to be busy in.
    StreamDecoder(PrinterCore& core, std::string link, ReplyFn reply, bool honourBusy);

    // nowMs: a steady clock in milliseconds, for the busy time after Leave setup mode.
    void feed(std::span<const std::uint8_t> data, std::int64_t nowMs);
    // The stream has ended: a command still waiting for bytes is reported as cut short.
    void finish();

    const std::string& link() const { return m_link; }
    std::uint64_t received() const { return m_base + m_buf.size(); }

private:
    enum class Mode { Idle, NvRecords, AreaData };

    void run(bool atEnd, std::int64_t nowMs);
    // Each returns the bytes consumed from p (0: wait for more bytes).
    std::size_t idle(const std::uint8_t* p, std::size_t n, bool atEnd, std::int64_t nowMs);
    std::size_t nvRecords(const std::uint8_t* p, std::size_t n, bool atEnd);
    std::size_t areaData(const std::uint8_t* p, std::size_t n, bool atEnd);
    std::size_t setupCommand(const std::uint8_t* p, std::size_t n, std::int64_t nowMs);
    std::size_t packet(const std::uint8_t* p, std::size_t n);
    std::size_t beginNv(const std::uint8_t* p, std::size_t n, bool star);
    std::size_t nvPrint(const std::uint8_t* p, std::size_t n, bool star);
    void endNv(const char* status);
    void reply(std::vector<std::uint8_t> bytes, int delayMs = 0);

    std::uint64_t at(std::size_t i) const { return m_base + m_pos + i; }

    PrinterCore& m_core;
    std::string m_link;
    ReplyFn m_reply;
    bool m_honourBusy;

    std::vector<std::uint8_t> m_buf; // received, not yet consumed from m_pos on
    std::size_t m_pos = 0;
    std::uint64_t m_base = 0;      // stream offset of m_buf[0]
    std::uint64_t m_lostUntil = 0; // stream offset up to which bytes came during an erase
    const char* m_lostReason = ""; // "nv-erase" or "sector-erase"
    std::int64_t m_nowMs = 0;
    Mode m_mode = Mode::Idle;
    bool m_switchedOff = false; // a whole, sound area frame came: the printer reprograms

    struct NvDefinition {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        bool star = false;
        int count = 0;
        int index = 0; // records finished
        int empty = 0;
        std::size_t bytes = 0;
        std::size_t capacity = 0; // the NV graphics memory the printer's setting gives
        bool inData = false;
        NvImage image;
        std::size_t want = 0;
        std::vector<int> stored;
    } m_nvDef;

    FirmwareReceiver::FrameProgress m_frame;
};

} // namespace korva
