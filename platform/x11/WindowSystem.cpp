#include "platform/x11/WindowSystem.h"

#include <QGuiApplication>

bool windowIdsAreGlobal()
{
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}
