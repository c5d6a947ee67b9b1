#include "app/core/RefreshStatus.h"

#include <QTest>

// What the tool strip says after a series of scan outcomes, each given as a letter and a
// minute of the hour 12: r refreshed, b file busy, m file missing.
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
    QTest::newRow("nothing yet") << QString() << QString();
    QTest::newRow("the latest refresh") << "r03 r05"
                                        << "Обновлено 12:05:00";
    QTest::newRow("busy since") << "r03 b04 b05"
                                << "Обновлено 12:03:00 · файл занят в 12:05:00";
    QTest::newRow("busy first") << "b04"
                                << "Файл занят в 12:04:00";
    QTest::newRow("missing, from the first report")
        << "r03 m04 m05"
        << "Обновлено 12:03:00 · файл не найден с 12:04:00";
    QTest::newRow("missing again after busy") << "m01 b02 m03"
                                              << "Файл не найден с 12:03:00";
    QTest::newRow("a refresh ends the trouble") << "r01 m02 r03 b04 r05"
                                                << "Обновлено 12:05:00";
}

void TestRefreshStatus::text()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    RefreshStatus status;
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QTime at(12, step.mid(1).toInt());
        if (step[0] == u'r')
            status.refreshed(at);
        else if (step[0] == u'b')
            status.fileBusy(at);
        else
            status.fileMissing(at);
    }
    QCOMPARE(status.text(), expected);
}

QTEST_GUILESS_MAIN(TestRefreshStatus)
#include "tst_refreshstatus.moc"
