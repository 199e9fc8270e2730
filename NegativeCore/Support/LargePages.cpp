#include "Support/LargePages.h"

#include <sys/mman.h>

#include <cstdint>

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

}  // namespace LargePages
