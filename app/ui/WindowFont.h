#pragma once

#include <QFont>

// The font of the window and of every widget in it that does not set its own: the system's
// sans-serif face with an 11-pixel character height. Widths and line heights are always taken
// from the metrics of the font this resolves to, never assumed.
QFont windowFont();
