#include "sheet/html/GumboArena.h"

#include "sheet/model/WorkbookError.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {

constexpr std::size_t BlockBytes = std::size_t(4) << 20;
// Every piece starts with its size class; what gumbo gets is 8-byte aligned, all its structures
// need.
constexpr std::size_t HeaderBytes = 8;
constexpr unsigned AllocationsPerCheck = 256;

// A parse takes some fifteen to twenty times its input; a limit well above that, but below
// what would bring the machine down.
constexpr std::size_t MemoryPerInputByte = 48;
constexpr std::size_t MemoryBase = std::size_t(64) << 20;
constexpr std::size_t MemoryCeiling = std::size_t(1) << 30;

// Gumbo parses some 20 MB a second; twenty times that long, and ten seconds more, is a page
// nested too deeply to parse, not a slow machine.
constexpr auto TimeBase = std::chrono::seconds(10);
constexpr auto TimePerMegabyte = std::chrono::seconds(1);

} // namespace

GumboArena::GumboArena(const ReadControl &control)
    : m_control(control)
    , m_options(kGumboDefaultOptions)
{
    m_options.allocator = &GumboArena::allocate;
    m_options.deallocator = &GumboArena::deallocate;
    m_options.userdata = this;
    m_options.max_errors = 0; // the parse errors are not wanted: no memory for them
}

void GumboArena::startParse(std::size_t inputBytes)
{
    m_free.fill(nullptr);
    m_bigPieces.clear();
    m_block = 0;
    m_next = m_blocks.empty() ? nullptr : m_blocks.front().get();
    m_end = m_blocks.empty() ? nullptr : m_next + m_blocks.front().size();
    m_used = 0;
    m_limit = std::min(MemoryBase + MemoryPerInputByte * inputBytes, MemoryCeiling);
    m_deadline = std::chrono::steady_clock::now() + TimeBase +
                 TimePerMegabyte * std::int64_t(inputBytes >> 20);
    m_untilCheck = AllocationsPerCheck;
}

const GumboOutput *GumboArena::parse(std::string_view document)
{
    startParse(document.size());
    return gumbo_parse_with_options(&m_options, document.data(), document.size());
}

std::size_t GumboArena::classOf(std::size_t bytes)
{
    if (bytes <= SmallClasses * 16)
        return std::max<std::size_t>(1, (bytes + 15) / 16) - 1;
    return SmallClasses + std::size_t(std::bit_width(bytes - 1)) - 11;
}

std::size_t GumboArena::classBytes(std::size_t sizeClass)
{
    if (sizeClass < SmallClasses)
        return (sizeClass + 1) * 16;
    return std::size_t(1) << (sizeClass - SmallClasses + 11);
}

void *GumboArena::allocate(void *arena, std::size_t bytes)
{
    return static_cast<GumboArena *>(arena)->take(bytes);
}

void GumboArena::deallocate(void *arena, void *block)
{
    if (block)
        static_cast<GumboArena *>(arena)->give(block);
}

void *GumboArena::take(std::size_t bytes)
{
    if (--m_untilCheck == 0)
        checkLimits();
    const std::size_t sizeClass = classOf(bytes);
    if (FreePiece *piece = m_free[sizeClass]) {
        m_free[sizeClass] = piece->next;
        return piece;
    }
    const std::size_t pieceBytes = classBytes(sizeClass);
    m_used += HeaderBytes + pieceBytes;
    if (m_used > m_limit)
        throw WorkbookError::unsupported(
            QStringLiteral("a web page that needs more than %1 MiB to parse in one piece")
                .arg(m_limit >> 20));
    char *start = nullptr;
    if (HeaderBytes + pieceBytes > BlockBytes / 4)
        start = m_bigPieces.emplace_back(HeaderBytes + pieceBytes).get();
    else
        start = carve(HeaderBytes + pieceBytes);
    *reinterpret_cast<std::uint64_t *>(start) = sizeClass;
    return start + HeaderBytes;
}

void GumboArena::give(void *block)
{
    char *const start = static_cast<char *>(block) - HeaderBytes;
    const std::size_t sizeClass = std::size_t(*reinterpret_cast<std::uint64_t *>(start));
    auto *piece = static_cast<FreePiece *>(block);
    piece->next = m_free[sizeClass];
    m_free[sizeClass] = piece;
}

char *GumboArena::carve(std::size_t bytes)
{
    if (std::size_t(m_end - m_next) < bytes) {
        if (!m_blocks.empty() && m_next != nullptr)
            ++m_block;
        if (m_block == m_blocks.size())
            m_blocks.emplace_back(BlockBytes);
        m_next = m_blocks[m_block].get();
        m_end = m_next + m_blocks[m_block].size();
    }
    char *const start = m_next;
    m_next += bytes;
    return start;
}

void GumboArena::checkLimits()
{
    m_untilCheck = AllocationsPerCheck;
    m_control.stillWanted();
    if (std::chrono::steady_clock::now() > m_deadline)
        throw WorkbookError::unsupported(
            QStringLiteral("a web page nested too deeply to parse in time"));
}
