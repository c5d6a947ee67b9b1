#include "platform/LargeBlocks.h"

#include <malloc.h>

namespace {

// Blocks from this size on get their own mapping. Setting it also fixes it: the C library no
// longer moves it up by itself.
constexpr int MappedBlockBytes = 256 * 1024;

} // namespace

void ReturnLargeBlocksWhenFreed()
{
    ::mallopt(M_MMAP_THRESHOLD, MappedBlockBytes);
}
