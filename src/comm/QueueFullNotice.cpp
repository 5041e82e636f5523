#include "comm/QueueFullNotice.h"

#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"

namespace korva {

void QueueFullNotice::dropped(std::uint32_t bytes) {
    ++m_drops;
    if (m_drops == 1) {
        m_prompter.inform(m_catalogue.text(MsgQueueFull), Icon::Exclamation);
        return;
    }
    m_log.Print("Receive queue full: %u bytes dropped (drop %llu since the message)", bytes,
                static_cast<unsigned long long>(m_drops));
}

} // namespace korva
