// Large image buffers on transparent huge pages. A fresh buffer costs a page fault per 4 KiB
// page on its first write, which for a preview-sized image takes longer than the pixel work
// itself; with 2 MiB pages the faults almost vanish. Advisory only: where the system does not
// offer huge pages nothing changes.
#pragma once

#include <cstddef>
#include <vector>

namespace LargePages {

// Asks for huge pages for the whole 2 MiB blocks inside [data, data + bytes), before the buffer
// is first written. Buffers below a few megabytes are left alone.
void advise(void* data, size_t bytes);

// Writes one zero byte into every page of [data, data + bytes), all cores at once, so that the
// kernel's clearing of new pages is shared out instead of falling on whoever writes first.
void touch(void* data, size_t bytes);

// `count` zeros of a plain number type in new memory, on huge pages where the system offers
// them, their pages touched first on all cores: the vector's own filling then only writes over
// resident memory. (Numbers are implicitly created in the reserved storage, so touching it
// before the resize is sound.) Throws std::bad_alloc.
template <class T>
std::vector<T> fresh(size_t count) {
  std::vector<T> values;
  values.reserve(count);
  advise(values.data(), count * sizeof(T));
  touch(values.data(), count * sizeof(T));
  values.resize(count);
  return values;
}

}  // namespace LargePages
