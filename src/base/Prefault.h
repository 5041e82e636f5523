#pragma once
// Fresh memory that is about to be written from end to end (a file being read into it, a
// raster being filled) costs one page fault per page as the writes reach it; a fault taken
// inside read() is dearer still. Asking the kernel to map the whole range first does the
// same work in one request.
#include <cstddef>

namespace korva {

// Maps the pages wholly inside [data, data + bytes) writable now. Only a hint: where the kernel
// cannot (before Linux 5.14), the pages fault in as the writes reach them, as they would have.
void prefaultForWrite(void* data, std::size_t bytes);

} // namespace korva
