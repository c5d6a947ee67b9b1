#include "app/ui/ErrorReport.h"
#include "util/ConvertError.h"
#include "util/InOutError.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class TestErrorReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void guardReportsWhatHandlersRaise();
    void repeatWhileOpenIsNotShownTwice();
    void differentMessageOpensItsOwnBox();
    void sameMessageAgainAfterClose();
    void realBoxKeepsTimersRunning();
};

void TestErrorReport::guardReportsWhatHandlersRaise()
{
    QStringList shown;
    ErrorReport report(QStringLiteral("Orvandel"), [&](const QString &title, const QString &text) {
        shown << title + u'|' + text;
    });
    report.Guard([] { throw InOutError(101); });
    report.Guard([] { throw ConvertError::invalidInteger(QStringLiteral("+")); });
    report.Guard([] { throw std::runtime_error("plain"); });
    report.Guard([] {});
    QCOMPARE(shown, (QStringList{QStringLiteral("Orvandel|Disk full."),
                                 QStringLiteral("Orvandel|'+' is not a valid integer value."),
                                 QStringLiteral("Orvandel|plain.")}));
}

void TestErrorReport::repeatWhileOpenIsNotShownTwice()
{
    int boxes = 0;
    ErrorReport *self = nullptr;
    ErrorReport report(QStringLiteral("T"), [&](const QString &, const QString &) {
        ++boxes;
        // While the box is open, the same error comes again from a timer tick.
        if (boxes == 1) {
            self->Report(QStringLiteral("Disk full"));
            self->Report(QStringLiteral("Disk full."));
        }
    });
    self = &report;
    report.Report(QStringLiteral("Disk full"));
    QCOMPARE(boxes, 1);
}

void TestErrorReport::differentMessageOpensItsOwnBox()
{
    QStringList shown;
    ErrorReport *self = nullptr;
    ErrorReport report(QStringLiteral("T"), [&](const QString &, const QString &text) {
        shown << text;
        if (shown.size() == 1)
            self->Report(QStringLiteral("File access denied"));
    });
    self = &report;
    report.Report(QStringLiteral("Disk full"));
    QCOMPARE(shown,
             (QStringList{QStringLiteral("Disk full."), QStringLiteral("File access denied.")}));
}

void TestErrorReport::sameMessageAgainAfterClose()
{
    int boxes = 0;
    ErrorReport report(QStringLiteral("T"), [&](const QString &, const QString &) { ++boxes; });
    report.Report(QStringLiteral("Disk full"));
    QVERIFY(!report.IsShowing(QStringLiteral("Disk full")));
    report.Report(QStringLiteral("Disk full"));
    QCOMPARE(boxes, 2);
}

void TestErrorReport::realBoxKeepsTimersRunning()
{
    ErrorReport report(QStringLiteral("Orvandel"));
    int ticks = 0;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const auto closeBox = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    };
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        // A tick that fails the same way while the box is open must not open another one.
        report.Report(QStringLiteral("I/O error 5"));
        // Closed by the ticks themselves, however slowly they come on a busy machine.
        if (ticks == 5)
            closeBox();
    });
    ticker.start();
    // Should the ticks stop altogether, the box is closed all the same and the test fails.
    QTimer::singleShot(20000, closeBox);
    report.Report(QStringLiteral("I/O error 5"));
    ticker.stop();
    QVERIFY2(ticks >= 5, "timer ticks must be dispatched while the box is open");
    QCOMPARE(caption, QStringLiteral("Orvandel"));
    QCOMPARE(text, QStringLiteral("I/O error 5."));
    QCOMPARE(icon, QMessageBox::Critical);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
