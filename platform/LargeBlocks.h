#pragma once

// The allocator's policy for the big blocks an import allocates and frees (the parsed
// workbook, the file read back): each is mapped on its own and handed back to the system when
// freed. Without it the C library raises its mapping threshold after the first big free and
// serves later blocks from a heap that keeps their pages, so every import would leave the
// process larger. Call once, first thing in main().
void ReturnLargeBlocksWhenFreed();
