#include "app/UnitOrvandel.h"
#include "app/core/CommandLineInfo.h"
#include "platform/LargePages.h"
#include "platform/TerminationSignals.h"
#include "sheet/exceling.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Answered before the application exists: it needs no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<QString> info = commandLineInfo(arguments)) {
        std::fputs(info->toLocal8Bit().constData(), stdout);
        return 0;
    }

    returnLargeBlocksWhenFreed();
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        TForm1 Form1;
        // A session that ends, or a kill, closes the window like its close button does.
        const TerminationSignals signals([&Form1] { Form1.close(); });
        Form1.show();
        exitCode = application.exec();
    }
    // The reader's objects go last, after the window and the application.
    excelRelease();
    return exitCode;
}
