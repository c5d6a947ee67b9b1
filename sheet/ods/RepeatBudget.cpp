#include "sheet/ods/RepeatBudget.h"

#include "sheet/model/WorkbookError.h"

void RepeatBudget::spend(std::uint64_t units)
{
    if (units > m_left)
        throw WorkbookError::damaged(
            QStringLiteral("its repeat counts ask for more than %L1 cells").arg(Default));
    m_left -= units;
}
