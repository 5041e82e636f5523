#pragma once
// One connected link of the printer (a pseudo-terminal or an accepted TCP connection): its
// descriptor, its stream decoder, the shaped reply queue and the link faults (slow link,
// close after N bytes). Driven by the engine's I/O thread only.
//
// - onReadable() reads what the slow-link budget and the close-after limit allow (EINTR is
//   retried, EAGAIN means nothing now), feeds the decoder and closes the link when the peer
//   hung up, on a read error, or when the close-after limit has been reached. At the stall-after
//   limit it stops reading and leaves the link open ("stalled after N bytes").
// - onWritable() writes what is due; partial writes keep the rest queued.
// - close() finishes the decoder (a command left waiting is reported as cut short), records
//   why the link ended and releases the descriptors; a pty link is gone afterwards.
// - With a capture folder, every received byte is appended to the link's capture file.
#include <cstdint>
#include <memory>
#include <string>

#include "sim/RateLimiter.h"
#include "sim/ReplyShaper.h"
#include "sim/StreamDecoder.h"
#include "sim/UniqueFd.h"

namespace korva {

class PrinterCore;

class LinkChannel {
public:
    // io: the descriptor read and written; hold: an extra descriptor kept open for the link's
    // lifetime (the pty slave), may be empty. isPty: a read of 0 bytes is not a hang-up.
    LinkChannel(PrinterCore& core, std::string name, UniqueFd io, UniqueFd hold, bool usbEscape,
                bool isPty, unsigned seed);

    const std::string& name() const { return m_name; }
    int fd() const { return m_io.get(); }
    bool closed() const { return !m_io.valid(); }
    bool stalled() const { return m_stalled; }

    bool wantsRead(std::int64_t nowMs);
    bool wantsWrite(std::int64_t nowMs);
    // Milliseconds until this link has something to do without a poll event (-1: nothing).
    int wakeInMs(std::int64_t nowMs);

    void onReadable(std::int64_t nowMs);
    void onWritable(std::int64_t nowMs);
    void close(const std::string& why);

private:
    void capture(const std::uint8_t* data, std::size_t size);
    void stall();

    PrinterCore& m_core;
    std::string m_name;
    UniqueFd m_io;
    UniqueFd m_hold;
    UniqueFd m_capture; // the capture file, when one is asked for
    bool m_isPty;
    long m_closeAfter;
    long m_stallAfter;
    bool m_stalled = false; // the link stays open, nothing more is read from it
    ReplyShaper m_shaper;
    RateLimiter m_inRate;
    RateLimiter m_outRate;
    std::int64_t m_now = 0; // time of the current event, for replies queued by the decoder
    std::unique_ptr<StreamDecoder> m_decoder;
};

} // namespace korva
