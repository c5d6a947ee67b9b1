#include "sheet/xml2003/Xml2003Styles.h"

#include "sheet/model/ValueText.h"
#include "sheet/model/WorkbookError.h"

#include <QString>
#include <algorithm>
#include <array>

Xml2003Styles::Xml2003Styles()
{
    number("Default");
}

std::uint16_t Xml2003Styles::number(std::string_view id)
{
    const auto found = m_numbers.find(std::string(id));
    if (found != m_numbers.end())
        return found->second;
    if (m_styles.size() > 0xFFFF)
        throw WorkbookError::damaged(QStringLiteral("it names more than 65,536 styles"));
    const auto style = std::uint16_t(m_styles.size());
    m_styles.emplace_back();
    m_numbers.emplace(std::string(id), style);
    return style;
}

void Xml2003Styles::setParent(std::uint16_t style, std::string_view parentId)
{
    const std::uint16_t parent = number(parentId);
    m_styles[style].parent = parent;
}

void Xml2003Styles::setFormat(std::uint16_t style, std::string_view format)
{
    Style &entry = m_styles[style];
    entry.hasFormat = true;
    entry.showsDate =
        isDateTimeFormat(-1, QString::fromUtf8(format.data(), qsizetype(format.size())));
}

std::vector<bool> Xml2003Styles::dateStyles() const
{
    std::vector<bool> dates(m_styles.size(), false);
    for (std::size_t i = 0; i < m_styles.size(); ++i) {
        // A chain of parents longer than there are styles goes round in a circle.
        int style = int(i);
        for (std::size_t step = 0; style >= 0 && step <= m_styles.size(); ++step) {
            if (m_styles[std::size_t(style)].hasFormat) {
                dates[i] = m_styles[std::size_t(style)].showsDate;
                break;
            }
            style = m_styles[std::size_t(style)].parent;
        }
    }
    return dates;
}
