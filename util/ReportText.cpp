#include "util/ReportText.h"

QString reportText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

QString applicationTitle(const QString &executablePath)
{
    QString name = executablePath.mid(executablePath.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}
