#pragma once

#include <cstddef>

// Splits delimited text into records and fields, quoted as RFC 4180 quotes them: a field that
// starts with a double quote runs to the next quote that is not doubled, delimiters and line
// ends inside it included, and a doubled quote inside stands for one. A quote that never closes
// takes the field to the end of the text; what follows a closing quote up to the next
// delimiter belongs to the field as written, as does a quote inside an unquoted field. Records
// end at CR LF, LF or CR.
//
// Works on bytes (UTF-8 and the 8-bit code pages keep every delimiter, quote and line end a
// byte of its own) and on UTF-16 units alike. The sink hears of a field's characters in pieces
// (piece(begin, count)), of each line end inside quotes (lineBreak()), of each field's end
// (endField()) and of each record's end (endRecord(next), with the place after the record; it
// returns false to stop).
template<typename Unit>
class DelimitedSplitter
{
public:
    template<typename Sink>
    static void split(const Unit *p, const Unit *end, Unit delimiter, Sink &sink)
    {
        while (p != end) {
            p = record(p, end, delimiter, sink);
            if (!sink.endRecord(p))
                return;
        }
    }

private:
    static constexpr Unit Quote = Unit('"');
    static constexpr Unit Cr = Unit('\r');
    static constexpr Unit Lf = Unit('\n');

    // One record; returns the place after its line end.
    template<typename Sink>
    static const Unit *record(const Unit *p, const Unit *end, Unit delimiter, Sink &sink)
    {
        for (;;) {
            if (p != end && *p == Quote)
                p = quoted(p + 1, end, sink);
            // All of an unquoted field, or what follows the closing quote of a quoted one.
            const Unit *const start = p;
            while (p != end && *p != delimiter && *p != Lf && *p != Cr)
                ++p;
            if (p != start)
                sink.piece(start, std::size_t(p - start));
            sink.endField();
            if (p == end)
                return p;
            if (*p == delimiter) {
                ++p;
                continue;
            }
            return afterLineEnd(p, end);
        }
    }

    // The inside of a quoted field from the character after its opening quote; returns the
    // place after the closing quote.
    template<typename Sink>
    static const Unit *quoted(const Unit *p, const Unit *end, Sink &sink)
    {
        for (;;) {
            const Unit *const start = p;
            while (p != end && *p != Quote && *p != Lf && *p != Cr)
                ++p;
            if (p != start)
                sink.piece(start, std::size_t(p - start));
            if (p == end)
                return p;
            if (*p == Quote) {
                if (p + 1 == end || p[1] != Quote)
                    return p + 1;
                sink.piece(p, 1);
                p += 2;
                continue;
            }
            p = afterLineEnd(p, end);
            sink.lineBreak();
        }
    }

    static const Unit *afterLineEnd(const Unit *p, const Unit *end)
    {
        return *p == Cr && p + 1 != end && p[1] == Lf ? p + 2 : p + 1;
    }
};
