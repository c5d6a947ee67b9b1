#pragma once

#include <QString>
#include <QStringView>

#include <array>

// Builds a short text in a buffer on the stack and makes one QString of it at the end, or
// hands it on as a view without any QString. Number
// and date texts are made for every numeric cell, and QString's own appending costs a call, a
// capacity check and often a reallocation per piece. A text longer than the buffer (a locale
// with very long month names) goes on in a QString on the heap.
// "00" to "99", for writing numbers two digits at a time.
inline constexpr std::array<char16_t, 200> DecimalDigitPairs = [] {
    std::array<char16_t, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[std::size_t(2 * i)] = char16_t(u'0' + i / 10);
        pairs[std::size_t(2 * i + 1)] = char16_t(u'0' + i % 10);
    }
    return pairs;
}();

class TextBuilder
{
public:
    static constexpr qsizetype Capacity = 96;

    void append(char16_t c)
    {
        if (m_size < Capacity)
            m_stack[m_size++] = c;
        else
            appendLong(&c, 1);
    }

    void append(const char16_t *chars, qsizetype count)
    {
        if (count <= Capacity - m_size) {
            // A plain loop: the pieces are a few characters long, too short for a call.
            char16_t *to = m_stack + m_size;
            for (qsizetype i = 0; i < count; ++i)
                to[i] = chars[i];
            m_size += count;
        } else {
            appendLong(chars, count);
        }
    }

    void append(QStringView text) { append(text.utf16(), text.size()); }

    // Appends 0 to 99 as two digits.
    void appendTwoDigits(int value) { append(&DecimalDigitPairs[std::size_t(value) * 2], 2); }

    QString toString() const
    {
        return m_spilled ? m_heap : QString(reinterpret_cast<const QChar *>(m_stack), m_size);
    }

    // The text so far, without making a QString; valid until the builder changes.
    QStringView view() const
    {
        return m_spilled ? QStringView(m_heap) : QStringView(m_stack, m_size);
    }

    // Empty again, to build the next text in the same buffer.
    void clear()
    {
        m_size = 0;
        if (m_spilled) {
            m_spilled = false;
            m_heap.clear();
        }
    }

private:
    void appendLong(const char16_t *chars, qsizetype count)
    {
        if (!m_spilled) {
            m_heap = QString(reinterpret_cast<const QChar *>(m_stack), m_size);
            m_spilled = true;
            m_size = Capacity; // every later piece comes here too
        }
        m_heap.append(reinterpret_cast<const QChar *>(chars), count);
    }

    char16_t m_stack[Capacity];
    qsizetype m_size = 0;
    bool m_spilled = false;
    QString m_heap;
};
