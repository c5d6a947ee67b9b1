#include "sheet/model/ReadControl.h"

void ReadControl::stillWanted() const
{
    if (m_cancelled && m_cancelled->load(std::memory_order_relaxed))
        throw ReadCancelled();
}
