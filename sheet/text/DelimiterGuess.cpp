#include "sheet/text/DelimiterGuess.h"

#include "sheet/text/DelimitedSplitter.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr std::size_t SampleUnits = 64 * 1024;
constexpr std::size_t SampleRecords = 20;

// Counts the fields of each record, leaving out blank lines.
template<typename Unit>
class FieldCounter
{
public:
    void piece(const Unit *, std::size_t count) { m_chars += count; }
    void lineBreak() { ++m_chars; }
    void endField() { ++m_fields; }
    bool endRecord(const Unit *)
    {
        if (m_fields > 1 || m_chars > 0)
            m_counts.push_back(m_fields);
        m_fields = 0;
        m_chars = 0;
        return m_counts.size() < SampleRecords;
    }

    const std::vector<std::size_t> &counts() const { return m_counts; }

private:
    std::size_t m_fields = 0;
    std::size_t m_chars = 0;
    std::vector<std::size_t> m_counts;
};

struct Split
{
    std::size_t first = 0;   // fields of the first record
    bool consistent = false; // every record has that many, more than one
};

template<typename Unit>
Split splitBy(const Unit *begin, const Unit *end, Unit delimiter)
{
    FieldCounter<Unit> counter;
    DelimitedSplitter<Unit>::split(begin, end, delimiter, counter);
    const std::vector<std::size_t> &counts = counter.counts();
    if (counts.empty())
        return {};
    const bool same = std::all_of(counts.begin(), counts.end(),
                                  [&](std::size_t fields) { return fields == counts.front(); });
    return {counts.front(), same && counts.front() > 1};
}

} // namespace

template<typename Unit>
Unit guessDelimiter(const Unit *begin, const Unit *end)
{
    const Unit *const lineEnd =
        std::find_if(begin, end, [](Unit c) { return c == '\n' || c == '\r'; });
    // The sample ends after a line end, so that its last record is whole, unless its first line
    // is longer than the sample itself.
    const Unit *sampleEnd = end;
    if (std::size_t(end - begin) > SampleUnits) {
        sampleEnd = begin + SampleUnits;
        const Unit *const lastBreak =
            std::find_if(std::make_reverse_iterator(sampleEnd), std::make_reverse_iterator(lineEnd),
                         [](Unit c) { return c == '\n' || c == '\r'; })
                .base();
        if (lastBreak > lineEnd)
            sampleEnd = lastBreak;
    }
    // Records, not lines: a quoted field of the first record may hold line ends.
    if (splitBy(begin, sampleEnd, Unit('\t')).first > 1)
        return Unit('\t');
    const Split semicolon = splitBy(begin, sampleEnd, Unit(';'));
    const Split comma = splitBy(begin, sampleEnd, Unit(','));
    if (semicolon.consistent || comma.consistent)
        return semicolon.consistent ? Unit(';') : Unit(',');
    return comma.first > semicolon.first ? Unit(',') : Unit(';');
}

template std::uint8_t guessDelimiter(const std::uint8_t *, const std::uint8_t *);
template char16_t guessDelimiter(const char16_t *, const char16_t *);
