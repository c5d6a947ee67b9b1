#include "app/ui/ResultGrid.h"
#include "tests/support/XvfbServer.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QTest>

// Copying from the grid on a real X server: what another program finds on the clipboard.
class TestGridClipboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectionReachesAnotherProgram();
};

namespace {

// The clipboard as a second X client reads it: format -> text.
QMap<QByteArray, QString> readFromAnotherProcess()
{
    QProcess reader;
    reader.start(QStringLiteral(ORVANDEL_TEST_HELPER_DIR "/clipboard_reader"));
    // This process owns the clipboard and answers the reader: its event loop must run.
    QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, 20000);
    QMap<QByteArray, QString> formats;
    for (const QByteArray &line : reader.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[1] != "missing")
            formats.insert(parts[0], QString::fromUtf8(QByteArray::fromBase64(parts[1])));
    }
    return formats;
}

} // namespace

void TestGridClipboard::selectionReachesAnotherProgram()
{
    if (qgetenv("QT_QPA_PLATFORM") != "xcb")
        QSKIP("no X server for this test");
    ResultGrid grid;
    grid.SetColCount(4);
    grid.SetRowCount(4);
    for (int row = 1; row < 4; ++row) {
        for (int col = 0; col < 4; ++col)
            grid.SetCells(col, row, QStringLiteral("r%1c%2").arg(row).arg(col));
    }
    grid.SetCells(1, 2, QStringLiteral("две\r\nстроки\n"));
    grid.SetCells(2, 2, QStringLiteral("a\t\"b\" & <c>"));
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // Columns 1 to 2 of rows 1 to 2: a click, then a click with Shift; then Ctrl+C.
    const auto centre = [&](int col, int row) {
        return grid.visualRect(grid.model()->index(row, col)).center();
    };
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, centre(1, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(2, 2));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QMap<QByteArray, QString> formats = readFromAnotherProcess();
    QCOMPARE(formats.value("text/plain"),
             QStringLiteral("r1c1\tr1c2\n\"две\r\nстроки\n\"\t\"a\t\"\"b\"\" & <c>\"\n"));
    const QString html = formats.value("text/html");
    QVERIFY(html.contains(QStringLiteral("charset=utf-8")));
    QVERIFY2(html.contains(QStringLiteral("<table><tr><td>r1c1</td><td>r1c2</td></tr><tr><td>две"
                                          "<br>строки<br></td><td>a\t&quot;b&quot; &amp; &lt;c&gt;"
                                          "</td></tr></table>")),
             qPrintable(html));

    // The context menu's item; with nothing selected, the current cell alone.
    QCOMPARE(grid.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(grid.actions(), QList<QAction *>{grid.copyAction()});
    QCOMPARE(grid.copyAction()->text(), QStringLiteral("Копировать"));
    grid.setCurrentColumn(1);
    grid.setCurrentRow(3);
    grid.selectionModel()->clearSelection();
    grid.copyAction()->trigger();
    formats = readFromAnotherProcess();
    QCOMPARE(formats.value("text/plain"), QStringLiteral("r3c1\n"));
}

int main(int argc, char **argv)
{
    XvfbServer server;
    if (!server.display().isEmpty()) {
        qputenv("DISPLAY", server.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication application(argc, argv);
    TestGridClipboard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gridclipboard.moc"
