#include "util/Collection.h"

bool IsDigitChar(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool IsNumber(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A sign is allowed only as the very first character; a lone sign passes on purpose.
        const bool leadingSign = i == 0 && (c == u'-' || c == u'+');
        if (!IsDigitChar(c) && !leadingSign)
            return false;
    }
    return true;
}
