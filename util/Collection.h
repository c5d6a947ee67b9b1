#pragma once

#include <QString>

// The number test that guards the window-handle argument of the command line.
bool IsDigitChar(QChar c);
bool IsNumber(const QString &text);
