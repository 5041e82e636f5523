#include "comm/UniqueFd.h"

#include <unistd.h>

namespace korva {

void UniqueFd::reset(int fd) {
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd); // never retried, see the header
    m_fd = fd;
}

} // namespace korva
