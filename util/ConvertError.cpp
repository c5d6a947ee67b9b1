#include "util/ConvertError.h"

ConvertError ConvertError::invalidInteger(const QString &text)
{
    return ConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
