#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// "--help" and "--version" (also "-h" and "-v") as the viewer's only argument: what to print
// instead of opening a window. Any other command line, those words among others included, is
// the launch context as always, so that a workbook may be called "--help" when it comes with a
// window id.
std::optional<QString> commandLineInfo(const QStringList &argumentsWithProgram);

// "Orvandel 1.0": the name and version every program of the viewer prints for --version.
QString versionLine(const QString &program);

// What the viewer prints for --help.
QString viewerUsage();
