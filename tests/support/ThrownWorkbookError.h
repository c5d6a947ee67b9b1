#pragma once

#include "sheet/model/WorkbookError.h"

#include <QString>
#include <utility>

// The message of the WorkbookError `operation` throws, or "none" when it returns normally.
template<typename Operation>
QString thrownWorkbookError(Operation &&operation)
{
    try {
        std::forward<Operation>(operation)();
    } catch (const WorkbookError &error) {
        return error.message();
    }
    return QStringLiteral("none");
}
