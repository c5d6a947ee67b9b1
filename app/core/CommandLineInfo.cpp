#include "app/core/CommandLineInfo.h"

#include "app/core/ScanTiming.h"

#include <QCommandLineParser>

std::optional<QString> commandLineInfo(const QStringList &argumentsWithProgram)
{
    if (argumentsWithProgram.size() != 2)
        return std::nullopt;
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(argumentsWithProgram) || !parser.positionalArguments().isEmpty())
        return std::nullopt;
    if (parser.isSet(help))
        return viewerUsage();
    if (parser.isSet(version))
        return versionLine(QStringLiteral("Orvandel"));
    return std::nullopt;
}

QString versionLine(const QString &program)
{
    return program + QStringLiteral(" " ORVANDEL_VERSION "\n");
}

QString viewerUsage()
{
    return QStringLiteral(R"(Usage: Orvandel [WORKBOOK [WINDOW]]
       Orvandel --help | --version

Watches WORKBOOK while a testing program writes it and shows the first 13 columns of its
first worksheet in a window, refreshed on an interval of %1 to %2 seconds. Each refresh
takes a consistent copy of the file while no other program writes it; the workbook itself is
never written.

Arguments:
  WORKBOOK  the workbook to watch; without it, Bellquor.xls in the application directory.
  WINDOW    the decimal X11 id of a window that receives the client message
            WM_VIEWER_CLOSED (1031, 0, 0) when the viewer closes.

Files:
  The application directory is that of this program when you may create files there, and
  otherwise $XDG_DATA_HOME/Orvandel (by default ~/.local/share/Orvandel), made on first use,
  readable by you only. It holds Orvandel.conf, the window's place and size and the interval
  (read at start, written at close), and tempfgr<N>.xls, the private copy of the workbook for
  one refresh. When that directory cannot be made (no home directory, or one you may not
  write), those two go to $XDG_RUNTIME_DIR/Orvandel, or else to a new private directory under
  the temporary directory, removed at exit.

Options:
  -h, --help     this text.
  -v, --version  the version.
)")
        .arg(ScanTiming::MinIntervalSeconds)
        .arg(ScanTiming::MaxIntervalSeconds);
}
