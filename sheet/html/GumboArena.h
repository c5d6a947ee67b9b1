#pragma once

#include "platform/LargePages.h"
#include "sheet/model/ReadControl.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <gumbo.h>
#include <string_view>
#include <vector>

// The memory of an HTML parse: gumbo takes its tree and every token from here, and all of it
// goes at once when the next parse starts, without gumbo walking its tree to free it (it does
// that recursively, which a deeply nested page would overflow the stack with). Freed pieces are
// reused by size, so a parse takes about what it would take from malloc, without malloc's cost;
// the blocks stay from one parse to the next, whose pages are then in memory already.
//
// It also keeps a parse within bounds. Gumbo looks through its stack of open elements for many
// tags, so a page nested a hundred thousand deep costs it minutes; it has no limit of its own,
// but it allocates for every tag. Past the parse's memory limit or its time limit, or once the
// reading is no longer wanted, an allocation raises WorkbookError (unsupported: the page is not
// damaged, only more than this reader takes on) or ReadCancelled out of gumbo, which is built
// with unwind tables and keeps nothing outside this arena.
class GumboArena
{
public:
    explicit GumboArena(const ReadControl &control);
    GumboArena(const GumboArena &) = delete;
    GumboArena &operator=(const GumboArena &) = delete;

    // Parses a document; the tree lives until the next parse. Raises WorkbookError past the
    // limits, ReadCancelled when the reading is called off.
    const GumboOutput *parse(std::string_view document);
    // The bytes the current parse has taken from the blocks.
    std::size_t used() const { return m_used; }

private:
    // Drops everything allocated so far and sets the limits for the parse of `inputBytes`.
    void startParse(std::size_t inputBytes);

    static void *allocate(void *arena, std::size_t bytes);
    static void deallocate(void *arena, void *block);

    void *take(std::size_t bytes);
    void give(void *block);
    char *carve(std::size_t bytes);
    void checkLimits();

    struct FreePiece
    {
        FreePiece *next;
    };

    // Pieces up to 1 KiB in steps of 16 bytes, then powers of two.
    static constexpr std::size_t SmallClasses = 64;
    static constexpr std::size_t Classes = SmallClasses + 40;
    static std::size_t classOf(std::size_t bytes);
    static std::size_t classBytes(std::size_t sizeClass);

    const ReadControl &m_control;
    GumboOptions m_options;
    std::array<FreePiece *, Classes> m_free{};
    std::vector<LargeBlock> m_blocks;    // kept from parse to parse
    std::vector<LargeBlock> m_bigPieces; // one piece each, dropped with the parse
    std::size_t m_block = 0;             // the block pieces are carved from
    char *m_next = nullptr;
    char *m_end = nullptr;
    std::size_t m_used = 0;
    std::size_t m_limit = 0;
    std::chrono::steady_clock::time_point m_deadline;
    unsigned m_untilCheck = 0;
};
