#include "xml/growing_array.h"

#include <sys/mman.h>

namespace pibgen::xml {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
#ifdef PIBGEN_HAVE_MAP_ANONYMOUS
constexpr int kAnonymous = MAP_ANONYMOUS;
#else
constexpr int kAnonymous = MAP_ANON;
#endif

size_t RoundUp(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// Maps bytes (a multiple of kHugePage) starting on a 2 MiB boundary, so that growing can move
// whole page tables instead of copying.
void* MapAligned(size_t bytes) {
  const size_t span = bytes + kHugePage;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | kAnonymous, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) ::munmap(raw, aligned - start);
  const size_t tail = start + span - (aligned + bytes);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  // No MADV_HUGEPAGE: where the kernel compacts memory to find huge pages, a busy machine
  // made runs stall in the kernel; ordinary pages cost about the same and keep runs steady.
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* LargeBlock::Grow(void* old, size_t old_bytes, size_t used, size_t bytes) {
  void* block = MapAligned(RoundUp(bytes));
  if (block == nullptr) return nullptr;
  if (old_bytes == 0) {
    if (used > 0) std::memcpy(block, old, used);
    std::free(old);
    return block;
  }
  // Both ends are huge-page aligned, so the kernel moves whole page tables, copying nothing.
  // Where pages cannot be moved, they are copied.
  const size_t moved = RoundUp(old_bytes);
#ifdef PIBGEN_HAVE_MREMAP
  if (::mremap(old, moved, moved, MREMAP_MAYMOVE | MREMAP_FIXED, block) != MAP_FAILED) return block;
#endif
  std::memcpy(block, old, used);
  ::munmap(old, moved);
  return block;
}

void LargeBlock::Free(void* block, size_t bytes) {
  if (block != nullptr) ::munmap(block, RoundUp(bytes));
}

}  // namespace pibgen::xml
