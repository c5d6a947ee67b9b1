#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// What the command line says: the workbook to watch and the window to tell when we close.
struct LaunchContext
{
    QString ResultFileName;
    std::int32_t NotifyWindow = 0;
};

// The executable's directory: its path up to and including its last "/", or empty when the
// path has none.
QString appDirOf(const QString &executablePath);
// The application directory, where the default workbook, the settings file and the private
// copies live: the executable's directory when this user can create files there, the user's
// own directory for the viewer otherwise (see ApplicationDirectory).
QString GetAppDir();

// The parameters after the program name. The process gets them already split; an empty
// argument cannot be given on the viewer's command line, so empty ones are dropped.
QStringList commandLineParameters(const QStringList &argumentsWithProgram);

// Fills `context` from the parameters in order. ResultFileName is set before NotifyWindow is
// looked at, so a ConvertError for the handle leaves the path resolved and NotifyWindow 0.
void resolveLaunchContext(const QStringList &parameters, const QString &appDir,
                          LaunchContext &context);

// Decimal text with an optional sign to a signed 32-bit number; ConvertError when it is not
// one or does not fit.
std::int32_t strToInt(const QString &text);
