#pragma once

#include <QString>

// The text the error report shows: the message, with a full stop added unless it is empty or
// already ends in "." or a character that sorts before it.
QString reportText(const QString &message);

// The caption of message boxes: the executable's file name without its directory and without
// everything from its first ".", every character after the first in lower case.
QString applicationTitle(const QString &executablePath);
