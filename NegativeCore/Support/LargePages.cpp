#include "Support/LargePages.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

#include "Support/ParallelFor.h"

namespace LargePages {

void advise(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t block = uintptr_t{2} << 20;
  if (bytes < 2 * block) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + block - 1) & ~(block - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(block - 1);
  // A refusal leaves ordinary pages, which is what the buffer had anyway.
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

void touch(void* data, size_t bytes) {
  constexpr size_t page = 4096;
  constexpr size_t chunkPages = 64;
  auto* base = static_cast<unsigned char*>(data);
  const size_t pages = (bytes + page - 1) / page;
  const auto chunks = static_cast<int64_t>((pages + chunkPages - 1) / chunkPages);
  parallelForRows(chunks, [&](int64_t begin, int64_t end) {
    const size_t last = std::min(pages, static_cast<size_t>(end) * chunkPages);
    for (size_t p = static_cast<size_t>(begin) * chunkPages; p < last; ++p) base[p * page] = 0;
  });
}

}  // namespace LargePages
