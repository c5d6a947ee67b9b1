#include "app/ui/WindowFont.h"

QFont windowFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}
