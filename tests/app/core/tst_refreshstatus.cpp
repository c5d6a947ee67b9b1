#include "app/core/RefreshStatus.h"

#include <QTest>

// What the tool strip says after a series of scan outcomes, each given as a letter and a
// minute of the hour 12: r refreshed, b file busy, m file missing, e an error ("Boom" and the
// minute); and what its tooltip says about the watched file.
class TestRefreshStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data();
    void text();
};

void TestRefreshStatus::text_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("toolTip");
    const QString file = QStringLiteral("/data/Bellquor.xls");
    QTest::newRow("nothing yet") << QString() << QString() << file;
    QTest::newRow("the latest refresh") << "r03 r05"
                                        << "Обновлено 12:05:00" << file;
    QTest::newRow("busy since") << "r03 b04 b05"
                                << "Обновлено 12:03:00 · файл занят в 12:05:00" << file;
    QTest::newRow("busy first") << "b04"
                                << "Файл занят в 12:04:00" << file;
    QTest::newRow("missing, from the first report")
        << "r03 m04 m05"
        << "Обновлено 12:03:00 · файл не найден с 12:04:00" << file;
    QTest::newRow("missing again after busy") << "m01 b02 m03"
                                              << "Файл не найден с 12:03:00" << file;
    QTest::newRow("a refresh ends the trouble") << "r01 m02 r03 b04 r05"
                                                << "Обновлено 12:05:00" << file;
    QTest::newRow("an error after a refresh")
        << "r03 e04"
        << "Обновлено 12:03:00 · ошибка в 12:04:00"
        << file + QStringLiteral("\nОшибка в 12:04:00: Boom 4.");
    QTest::newRow("an error first")
        << "e02"
        << "Ошибка в 12:02:00" << file + QStringLiteral("\nОшибка в 12:02:00: Boom 2.");
    QTest::newRow("the latest error, kept after the refresh")
        << "e01 e02 r03"
        << "Обновлено 12:03:00" << file + QStringLiteral("\nОшибка в 12:02:00: Boom 2.");
    QTest::newRow("missing after an error")
        << "r01 e02 m03 m04"
        << "Обновлено 12:01:00 · файл не найден с 12:03:00"
        << file + QStringLiteral("\nОшибка в 12:02:00: Boom 2.");
    QTest::newRow("busy after an error")
        << "e02 b03"
        << "Файл занят в 12:03:00" << file + QStringLiteral("\nОшибка в 12:02:00: Boom 2.");
}

void TestRefreshStatus::text()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    QFETCH(QString, toolTip);
    RefreshStatus status(QStringLiteral("/data/Bellquor.xls"));
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QTime at(12, step.mid(1).toInt());
        if (step[0] == u'r')
            status.refreshed(at);
        else if (step[0] == u'b')
            status.fileBusy(at);
        else if (step[0] == u'e')
            status.failed(at, QStringLiteral("Boom %1").arg(at.minute()));
        else
            status.fileMissing(at);
    }
    QCOMPARE(status.text(), expected);
    QCOMPARE(status.toolTip(), toolTip);
}

QTEST_GUILESS_MAIN(TestRefreshStatus)
#include "tst_refreshstatus.moc"
