#pragma once

#include <QString>

// A notice that is not an error: a modal box centred on the screen, captioned with the
// application title, without an icon, with one OK button. Returns when the user closes it.
void showNotice(const QString &text);
