#pragma once
// The receive ring's "queue full" message (catalogue entry 41), shown once per spell of drops:
// a printer that keeps flooding a full ring would otherwise open one more box for every batch
// it sends. While the spell lasts every further drop goes to the error log, counted; the spell
// ends when a batch fits again.
//
// Threads: dropped() and accepted() on the receive thread that produces into the ring.
#include <cstdint>

namespace korva {

class ErrorLog;
class MessageCatalogue;
class Prompter;

class QueueFullNotice {
public:
    QueueFullNotice(ErrorLog& log, const MessageCatalogue& catalogue, Prompter& prompter)
        : m_log(log), m_catalogue(catalogue), m_prompter(prompter) {}

    void dropped(std::uint32_t bytes);
    void accepted() { m_drops = 0; }

private:
    ErrorLog& m_log;
    const MessageCatalogue& m_catalogue;
    Prompter& m_prompter;
    std::uint64_t m_drops = 0; // in the current spell
};

} // namespace korva
