#include "base/Prefault.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace korva {

void prefaultForWrite(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    static const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize <= 0 || bytes == 0)
        return;
    const auto page = static_cast<std::uintptr_t>(pageSize);
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t end = (begin + bytes) & ~(page - 1);
    if (end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace korva
