// Large image buffers on transparent huge pages. A fresh buffer costs a page fault per 4 KiB
// page on its first write, which for a preview-sized image takes longer than the pixel work
// itself; with 2 MiB pages the faults almost vanish. Advisory only: where the system does not
// offer huge pages nothing changes.
#pragma once

#include <cstddef>

namespace LargePages {

// Asks for huge pages for the whole 2 MiB blocks inside [data, data + bytes), before the buffer
// is first written. Buffers below a few megabytes are left alone.
void advise(void* data, size_t bytes);

}  // namespace LargePages
