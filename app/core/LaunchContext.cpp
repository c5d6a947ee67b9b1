#include "app/core/LaunchContext.h"

#include "platform/ApplicationDirectory.h"
#include "platform/ExecutablePath.h"
#include "util/Collection.h"
#include "util/ConvertError.h"

#include <limits>

QString appDirOf(const QString &executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(u'/');
    return slash < 0 ? QString() : executablePath.left(slash + 1);
}

QString GetAppDir()
{
    return ApplicationDirectory::resolve(appDirOf(executablePath()));
}

QStringList commandLineParameters(const QStringList &argumentsWithProgram)
{
    QStringList parameters;
    for (qsizetype i = 1; i < argumentsWithProgram.size(); ++i) {
        if (!argumentsWithProgram.at(i).isEmpty())
            parameters.append(argumentsWithProgram.at(i));
    }
    return parameters;
}

std::int32_t strToInt(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i == text.size())
        throw ConvertError::invalidInteger(text);
    // Accumulate in 64 bits and stop as soon as the value leaves the 32-bit range, so that any
    // number of digits is handled without overflow.
    const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < u'0' || c.unicode() > u'9')
            throw ConvertError::invalidInteger(text);
        value = value * 10 + (c.unicode() - u'0');
        if (value > limit)
            throw ConvertError::invalidInteger(text);
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

void resolveLaunchContext(const QStringList &parameters, const QString &appDir,
                          LaunchContext &context)
{
    context.ResultFileName =
        parameters.isEmpty() ? appDir + QStringLiteral("Bellquor.xls") : parameters.at(0);
    context.NotifyWindow = 0;
    if (parameters.size() >= 2 && IsNumber(parameters.at(1)))
        context.NotifyWindow = strToInt(parameters.at(1));
}
