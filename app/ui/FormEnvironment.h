#pragma once

#include "app/ui/ErrorReport.h"

#include <QString>
#include <QStringList>
#include <QTime>
#include <cstdint>
#include <functional>

// What the main window takes from the process around it: its command line, its directory, the
// clock, and how notices and errors reach the user. The program passes the real ones; tests
// pass their own, so a window can be driven without a command line, a dialog or waiting.
struct FormEnvironment
{
    QStringList arguments; // with the program name first, as the process got them
    QString appDir;
    // Where the settings file and the private copies go when `appDir` cannot take them; empty
    // for `appDir` itself.
    QString privateDir;
    QString title;
    std::function<std::uint32_t()> tickCount;
    // The time of day, for saying when the table was refreshed.
    std::function<QTime()> timeOfDay = &QTime::currentTime;
    std::function<void(const QString &)> notice;
    ErrorReport::Presenter errorPresenter;

    QString privateFilesDir() const { return privateDir.isEmpty() ? appDir : privateDir; }

    static FormEnvironment ofProcess();
};
