#pragma once

#include "util/ViewerError.h"

// Raised by the import when the watched file turns out to have changed while the snapshot was
// taken. The scan scheduler treats it as a failed open: silent, and retried.
class TornSnapshot : public ViewerError
{
public:
    TornSnapshot()
        : ViewerError(QStringLiteral("The workbook changed while it was copied"))
    {
    }
};
