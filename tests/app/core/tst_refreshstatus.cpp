#include "app/core/RefreshStatus.h"

#include <QTest>
#include <functional>

// What the tool strip says after a series of scan outcomes.
class TestRefreshStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data();
    void text();
};

using Step = std::function<void(RefreshStatus &)>;
Q_DECLARE_METATYPE(QList<Step>)

namespace {

Step refreshed(int h, int m, int s)
{
    return [=](RefreshStatus &status) {
        status.refreshed(QTime(h, m, s));
    };
}
Step busy(int h, int m, int s)
{
    return [=](RefreshStatus &status) {
        status.fileBusy(QTime(h, m, s));
    };
}
Step missing(int h, int m, int s)
{
    return [=](RefreshStatus &status) {
        status.fileMissing(QTime(h, m, s));
    };
}

} // namespace

void TestRefreshStatus::text_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing yet") << QList<Step>{} << QString();
    QTest::newRow("refreshed") << QList<Step>{refreshed(9, 3, 5)}
                               << QStringLiteral("Обновлено 09:03:05");
    QTest::newRow("the latest refresh") << QList<Step>{refreshed(9, 3, 5), refreshed(23, 59, 59)}
                                        << QStringLiteral("Обновлено 23:59:59");
    QTest::newRow("busy since the refresh")
        << QList<Step>{refreshed(12, 3, 5), busy(12, 4, 15)}
        << QStringLiteral("Обновлено 12:03:05 · файл занят в 12:04:15");
    QTest::newRow("busy again") << QList<Step>{refreshed(12, 3, 5), busy(12, 4, 15),
                                               busy(12, 5, 15)}
                                << QStringLiteral("Обновлено 12:03:05 · файл занят в 12:05:15");
    QTest::newRow("busy before any refresh")
        << QList<Step>{busy(8, 0, 0)} << QStringLiteral("Файл занят в 08:00:00");
    QTest::newRow("missing, from its first report")
        << QList<Step>{refreshed(12, 3, 5), missing(12, 4, 0), missing(12, 4, 1)}
        << QStringLiteral("Обновлено 12:03:05 · файл не найден с 12:04:00");
    QTest::newRow("missing from the start") << QList<Step>{missing(7, 0, 0), missing(7, 30, 0)}
                                            << QStringLiteral("Файл не найден с 07:00:00");
    QTest::newRow("busy after missing")
        << QList<Step>{missing(7, 0, 0), busy(7, 1, 0)} << QStringLiteral("Файл занят в 07:01:00");
    QTest::newRow("missing again after busy")
        << QList<Step>{missing(7, 0, 0), busy(7, 1, 0), missing(7, 2, 0)}
        << QStringLiteral("Файл не найден с 07:02:00");
    QTest::newRow("a refresh ends the trouble")
        << QList<Step>{refreshed(12, 3, 5), missing(12, 4, 0), refreshed(12, 5, 0), busy(12, 6, 0),
                       refreshed(12, 7, 0)}
        << QStringLiteral("Обновлено 12:07:00");
}

void TestRefreshStatus::text()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QString, expected);
    RefreshStatus status;
    for (const Step &step : steps)
        step(status);
    QCOMPARE(status.text(), expected);
}

QTEST_GUILESS_MAIN(TestRefreshStatus)
#include "tst_refreshstatus.moc"
