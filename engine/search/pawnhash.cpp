#include "search/pawnhash.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace kavrin {

namespace {
constexpr size_t LargePage = size_t{1} << 21;
}  // namespace

PawnCache::PawnCache(int bits) : indexMask((1u << std::clamp(bits, 1, PawnHashBits)) - 1) {
    // aligned_alloc wants a multiple of the alignment.
    const size_t alignment = Bytes() >= LargePage ? LargePage : alignof(uint32_t);
    const size_t rounded = (Bytes() + alignment - 1) / alignment * alignment;
    entries = static_cast<uint32_t*>(std::aligned_alloc(alignment, rounded));
    if (entries == nullptr) throw std::bad_alloc();
    if (alignment == LargePage) madvise(entries, rounded, MADV_HUGEPAGE);
    Clear();
}

PawnCache::~PawnCache() { std::free(entries); }

}  // namespace kavrin
