#include "app/UnitOrvandel.h"
#include "platform/LargePages.h"
#include "platform/TerminationSignals.h"
#include "sheet/exceling.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
    ExcelRelease();
    return exitCode;
}
