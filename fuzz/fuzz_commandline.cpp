// Any list of parameters: the launch context resolves or raises the conversion error, and what
// it resolves agrees with the parameters.
#include "app/core/LaunchContext.h"
#include "util/Collection.h"
#include "util/ConvertError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // NUL bytes separate the arguments, as in the process's argv; the first is the program.
    QStringList argv;
    QByteArray current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            argv << QString::fromUtf8(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    argv << QString::fromUtf8(current);

    const QStringList parameters = commandLineParameters(argv);
    for (const QString &p : parameters) {
        if (p.isEmpty())
            std::abort();
    }
    LaunchContext context;
    try {
        resolveLaunchContext(parameters, QStringLiteral("/app/"), context);
    } catch (const ConvertError &) {
        if (parameters.size() < 2 || !IsNumber(parameters.at(1)) || context.NotifyWindow != 0)
            std::abort();
        return 0;
    }
    if (parameters.isEmpty() ? context.ResultFileName != QStringLiteral("/app/Bellquor.xls")
                             : context.ResultFileName != parameters.at(0))
        std::abort();
    if (context.NotifyWindow != 0) {
        bool ok = false;
        const int expected = parameters.at(1).toInt(&ok);
        if (!ok || expected != context.NotifyWindow)
            std::abort();
    }
    return 0;
}
