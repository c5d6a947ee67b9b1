#pragma once

#include "util/InOutError.h"

#include <QString>
#include <utility>

// The code and message of the InOutError that `operation` throws, or {0, "none"} when it
// returns normally; compared as one value, a failure shows both.
template<typename Operation>
std::pair<int, QString> thrownInOutError(Operation &&operation)
{
    try {
        std::forward<Operation>(operation)();
    } catch (const InOutError &error) {
        return {error.code(), error.message()};
    }
    return {0, QStringLiteral("none")};
}
