#pragma once

#include "util/ViewerError.h"

// A text that should have been a number and is not one, or does not fit.
class ConvertError : public ViewerError
{
public:
    using ViewerError::ViewerError;

    // "'%s' is not a valid integer value"
    static ConvertError invalidInteger(const QString &text);
};
