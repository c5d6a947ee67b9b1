#pragma once

#include "sheet/model/StringTable.h"
#include "sheet/xml/XmlHandler.h"

// The text of a string item, a shared string (<si>) or a cell's own string (<is>): its <t>
// elements in order, the runs of rich text joined, phonetic runs (<rPh>) left out, and the
// _xHHHH_ escapes of characters XML cannot hold turned back into those characters. Fed with
// the events inside the item; writes to a string table's buffer.
class RichTextReader
{
public:
    explicit RichTextReader(StringTable::Buffer &out)
        : m_out(out)
    {
    }

    // Ready for a new item, after one that was cut off.
    void reset()
    {
        m_phoneticDepth = 0;
        m_inText = false;
    }

    void startElement(const XmlName &name);
    void endElement(const XmlName &name);
    void characters(std::string_view text);

private:
    StringTable::Buffer &m_out;
    std::size_t m_textStart = 0;
    int m_phoneticDepth = 0;
    bool m_inText = false;
    bool m_escapes = false; // the text so far may hold an escape
};

// Decodes the _xHHHH_ escapes in `chars` from `from` on, in place (_x005F_ stands for "_").
void decodeCharacterEscapes(StringTable::Buffer &chars, std::size_t from);
