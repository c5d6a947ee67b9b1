#include "app/ui/ResultGrid.h"
#include "tests/support/XvfbServer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QTest>

// Copying from the grid on a real X server: what another program finds on the clipboard.
class TestGridClipboard : public QObject
{
    Q_OBJECT

public:
    explicit TestGridClipboard(QString xvfbError)
        : m_xvfbError(std::move(xvfbError))
    {
    }

private Q_SLOTS:
    void init();
    void ctrlCReachesAnotherProgram();
    void contextMenuCopies();

private:
    void fill(ResultGrid &grid);
    // The clipboard as a second X client reads it: format -> text.
    QMap<QString, QString> readFromAnotherProcess();
    QPoint centreOf(const ResultGrid &grid, int col, int row) const;

    QString m_xvfbError;
};

void TestGridClipboard::init()
{
    if (!m_xvfbError.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no X server for this test: ") + m_xvfbError));
}

void TestGridClipboard::fill(ResultGrid &grid)
{
    grid.SetColCount(4);
    grid.SetRowCount(4);
    grid.SetCells(0, 0, QStringLiteral("№"));
    for (int row = 1; row < 4; ++row) {
        for (int col = 0; col < 4; ++col)
            grid.SetCells(col, row, QStringLiteral("r%1c%2").arg(row).arg(col));
    }
    grid.SetCells(1, 2, QStringLiteral("две\nстроки"));
    grid.SetCells(2, 2, QStringLiteral("a\t\"b\" & <c>"));
}

QPoint TestGridClipboard::centreOf(const ResultGrid &grid, int col, int row) const
{
    return grid.visualRect(grid.model()->index(row, col)).center();
}

QMap<QString, QString> TestGridClipboard::readFromAnotherProcess()
{
    QProcess reader;
    reader.start(QStringLiteral(ORVANDEL_TEST_HELPER_DIR "/clipboard_reader"));
    // This process owns the selection and answers the reader's requests: its event loop must
    // run meanwhile.
    if (!QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, 20000))
        return {};
    QMap<QString, QString> formats;
    for (const QByteArray &line : reader.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[1] != "missing")
            formats.insert(QString::fromLatin1(parts[0]),
                           QString::fromUtf8(QByteArray::fromBase64(parts[1])));
    }
    return formats;
}

void TestGridClipboard::ctrlCReachesAnotherProgram()
{
    ResultGrid grid;
    grid.resize(400, 300);
    fill(grid);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // Columns 1 to 2 of rows 1 to 2: a click, then a click with Shift.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, centreOf(grid, 1, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, centreOf(grid, 2, 2));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);

    const QMap<QString, QString> formats = readFromAnotherProcess();
    QCOMPARE(formats.value(QStringLiteral("text/plain")),
             QStringLiteral("r1c1\tr1c2\n\"две\nстроки\"\t\"a\t\"\"b\"\" & <c>\"\n"));
    const QString html = formats.value(QStringLiteral("text/html"));
    QVERIFY2(html.contains(QStringLiteral("<tr><td>r1c1</td><td>r1c2</td></tr><tr><td>две<br>"
                                          "строки</td><td>a\t&quot;b&quot; &amp; &lt;c&gt;</td>"
                                          "</tr></table>")),
             qPrintable(html));
}

void TestGridClipboard::contextMenuCopies()
{
    ResultGrid grid;
    fill(grid);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(grid.actions(), QList<QAction *>{grid.copyAction()});
    QCOMPARE(grid.copyAction()->text(), QStringLiteral("Копировать"));

    // Nothing selected: the current cell alone.
    grid.setCurrentColumn(3);
    grid.setCurrentRow(3);
    grid.selectionModel()->clearSelection();
    grid.copyAction()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("r3c3\n"));
}

int main(int argc, char **argv)
{
    XvfbServer server;
    if (!server.display().isEmpty()) {
        qputenv("DISPLAY", server.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication application(argc, argv);
    TestGridClipboard test(server.error());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gridclipboard.moc"
