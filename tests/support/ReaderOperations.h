#pragma once

#include <QByteArrayView>

// Runs one workbook's bytes through the workbook operations the way the result import uses
// them; shared by the reader's fuzz target and its regression test. Errors of the viewer's own
// kinds are the expected outcome for bad input and are swallowed; anything else escapes.
void runReaderOperations(QByteArrayView bytes);
