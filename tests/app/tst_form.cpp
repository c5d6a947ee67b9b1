#include "app/UnitOrvandel.h"
#include "app/core/ResultTable.h"
#include "app/core/SettingsFile.h"
#include "app/core/WindowSettings.h"
#include "app/ui/GradientPanel.h"
#include "app/ui/ResultGrid.h"
#include "app/ui/SpinEdit.h"
#include "sheet/exceling.h"
#include "tests/support/ViewerHarness.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

// The main window on the offscreen platform, driven through its handlers with a fake clock.
class TestForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void layout();
    void gradient();
    void startUpLoadsSettingsAndStartsCadence();
    void firstRunShowsNoticeBeforeWindow();
    void conversionErrorStopsStartUp();
    void settingsErrorStopsStartUp();
    void stopThenStart();
    void scanImportsTheWorkbook();
    void missingWorkbookEmptiesTable();
    void refreshStateBesideTheInterval();
    void sameSnapshotIsNotReadAgain_data();
    void sameSnapshotIsNotReadAgain();
    void closeSavesSettings();
    void failedSaveIsReportedAndWindowCloses();
    void importUnderWayKeepsTableAndHoldsNextScan();
    void closeDuringImportCallsItOff();

private:
    std::unique_ptr<TForm1> makeForm(const QStringList &parameters);
    void writeSettings(int interval);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_appDir;
    std::uint32_t m_now = 0;
    QTime m_timeOfDay;
    QStringList m_notices;
    QStringList m_errors;
};

void TestForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_appDir = m_dir->path() + u'/';
    m_now = 5'000'000;
    m_notices.clear();
    m_errors.clear();
}

std::unique_ptr<TForm1> TestForm::makeForm(const QStringList &parameters)
{
    FormEnvironment environment;
    environment.arguments = QStringList{m_appDir + QStringLiteral("Orvandel")} + parameters;
    environment.appDir = m_appDir;
    environment.title = QStringLiteral("Orvandel");
    environment.tickCount = [this] {
        return m_now;
    };
    environment.timeOfDay = [this] {
        return m_timeOfDay;
    };
    environment.notice = [this](const QString &text) {
        m_notices << text;
    };
    environment.errorPresenter = [this](const QString &, const QString &text) {
        m_errors << text;
    };
    return std::make_unique<TForm1>(std::move(environment));
}

void TestForm::writeSettings(int interval)
{
    WindowSettings settings;
    settings.Interval = interval;
    writeSettingsFile(settingsFileName(m_appDir), settings);
}

void TestForm::layout()
{
    // Without a settings file the window keeps its built-in geometry.
    const auto form = makeForm({});
    QCOMPARE(form->pos(), QPoint(294, 152));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->windowTitle(), QStringLiteral(" Безопасный просмотр результатов тестирования "));
    QCOMPARE(form->size(), QSize(653, 438));
    QVERIFY(!form->windowIcon().isNull());
    QCOMPARE(form->LMDPanelFill1->geometry(), QRect(0, 0, 653, 438));
    QCOMPARE(form->LMDSimplePanel1->geometry(), QRect(0, 0, 653, 49));
    QCOMPARE(form->GridResult->geometry(), QRect(0, 49, 653, 389));
    QVERIFY(!form->LMDSimplePanel1->autoFillBackground());
    QCOMPARE(form->ButtonStart->geometry(), QRect(24, 13, 73, 25));
    QCOMPARE(form->ButtonStart->text(), QStringLiteral("Стоп"));
    QCOMPARE(form->ButtonStart->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    QCOMPARE(form->LMDLabel1->text(), QStringLiteral(" Частота обновления "));
    QCOMPARE(form->LMDLabel1->pos(), QPoint(128, 18));
    QCOMPARE(form->LMDLabel2->text(), QStringLiteral("сек."));
    // The tool strip reads left to right without overlaps, whatever the font.
    QVERIFY(form->SpinUpdate->x() >= 244);
    QVERIFY(form->SpinUpdate->x() > form->LMDLabel1->geometry().right());
    QVERIFY(form->LMDLabel2->x() > form->SpinUpdate->geometry().right());
    QCOMPARE(form->SpinUpdate->minimum(), 10);
    QCOMPARE(form->SpinUpdate->maximum(), 1000);
    QCOMPARE(form->SpinUpdate->value(), 20);
    QCOMPARE(form->TimerScan->interval(), 1000);
    QCOMPARE(form->TimerScanOpenFile->interval(), 300);
    QVERIFY(!form->TimerScanOpenFile->isActive());
    QCOMPARE(form->GridResult->table().ColCount(), 12);
    QCOMPARE(form->GridResult->table().RowCount(), 2);

    // The keyboard focus goes grid, spin edit, button.
    QCOMPARE(QApplication::focusWidget(), form->GridResult);
    QTest::keyClick(form->GridResult, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->SpinUpdate);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->ButtonStart);
}

void TestForm::gradient()
{
    const auto form = makeForm({});
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QImage image(form->LMDPanelFill1->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    form->LMDPanelFill1->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    QCOMPARE(image.pixel(10, 0), qRgb(247, 245, 245));
    QCOMPARE(image.pixel(10, 3), qRgb(247, 245, 245)); // band 0 covers rows 0 to 3 of 438
    QCOMPARE(image.pixel(10, 4), qRgb(246, 244, 245));
    QCOMPARE(image.pixel(10, 219), qRgb(211, 210, 234));
    QCOMPARE(image.pixel(600, 437), qRgb(176, 176, 224));
}

void TestForm::startUpLoadsSettingsAndStartsCadence()
{
    writeSettings(50);
    const auto form = makeForm({QStringLiteral("/data/results.xls"), QStringLiteral("77")});
    QVERIFY(m_errors.isEmpty());
    QVERIFY(m_notices.isEmpty());
    QCOMPARE(form->context().ResultFileName, QStringLiteral("/data/results.xls"));
    QCOMPARE(form->context().NotifyWindow, 77);
    QCOMPARE(form->GridResult->RowHeights(0), 36);
    QCOMPARE(form->SpinUpdate->value(), 50);
    QCOMPARE(form->scheduler().LastScanTick(), m_now - 50'000u);
    QVERIFY(form->TimerScan->isActive());
    QVERIFY(!form->TimerScanOpenFile->isActive());
}

void TestForm::firstRunShowsNoticeBeforeWindow()
{
    bool visibleAtNotice = true;
    FormEnvironment environment;
    environment.arguments = {m_appDir + QStringLiteral("Orvandel")};
    environment.appDir = m_appDir;
    environment.tickCount = [this] {
        return m_now;
    };
    TForm1 *created = nullptr;
    environment.notice = [&](const QString &text) {
        m_notices << text;
        visibleAtNotice = created && created->isVisible();
    };
    environment.errorPresenter = [this](const QString &, const QString &text) {
        m_errors << text;
    };
    TForm1 form(std::move(environment));
    created = &form;
    QCOMPARE(m_notices, QStringList{SettingsNotFoundNotice.toString()});
    QVERIFY(!visibleAtNotice);
    QCOMPARE(form.SpinUpdate->value(), 20);
    QCOMPARE(form.pos(), QPoint(294, 152));
    QCOMPARE(form.context().ResultFileName, m_appDir + QStringLiteral("Bellquor.xls"));
    QVERIFY(form.TimerScan->isActive());
}

void TestForm::conversionErrorStopsStartUp()
{
    writeSettings(50);
    const auto form = makeForm({QStringLiteral("/data/results.xls"), QStringLiteral("2147483648")});
    QCOMPARE(m_errors, QStringList{QStringLiteral("'2147483648' is not a valid integer value.")});
    QCOMPARE(form->context().ResultFileName, QStringLiteral("/data/results.xls"));
    QCOMPARE(form->context().NotifyWindow, 0);
    QCOMPARE(form->GridResult->RowHeights(0), 24); // the header rule did not run
    QCOMPARE(form->SpinUpdate->value(), 20);       // no settings loaded
    QVERIFY(!form->TimerScan->isActive());
    QCOMPARE(form->ButtonStart->text(), QStringLiteral("Стоп"));

    // Nothing scans until the button has been pressed twice; the cadence then counts from 0.
    form->ButtonStartClick();
    QCOMPARE(form->ButtonStart->text(), QStringLiteral("Старт"));
    QVERIFY(!form->TimerScan->isActive());
    form->ButtonStartClick();
    QCOMPARE(form->ButtonStart->text(), QStringLiteral("Стоп"));
    QVERIFY(form->TimerScan->isActive());
    QCOMPARE(form->scheduler().LastScanTick(), 0u);
}

void TestForm::settingsErrorStopsStartUp()
{
    QFile file(settingsFileName(m_appDir));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(24, '\0'));
    file.close();
    const auto form = makeForm({});
    QCOMPARE(m_errors, QStringList{QStringLiteral("Read beyond end of file.")});
    QCOMPARE(form->GridResult->RowHeights(0), 36);
    QVERIFY(!form->TimerScan->isActive());
}

void TestForm::stopThenStart()
{
    writeSettings(20);
    const auto form = makeForm({});
    const std::uint32_t last = form->scheduler().LastScanTick();
    QTest::mouseClick(form->ButtonStart, Qt::LeftButton);
    QCOMPARE(form->ButtonStart->text(), QStringLiteral("Старт"));
    QCOMPARE(form->ButtonStart->palette().color(QPalette::ButtonText), QColor(0, 128, 0));
    QVERIFY(!form->TimerScan->isActive());
    QTest::mouseClick(form->ButtonStart, Qt::LeftButton);
    QCOMPARE(form->ButtonStart->text(), QStringLiteral("Стоп"));
    QCOMPARE(form->ButtonStart->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    QVERIFY(form->TimerScan->isActive());
    QCOMPARE(form->scheduler().LastScanTick(), last);
}

void TestForm::scanImportsTheWorkbook()
{
    writeSettings(20);
    const QString workbook = m_appDir + QStringLiteral("results.xls");
    QVERIFY(QFile::copy(QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/fixtures/xlwt-results.xls"),
                        workbook));
    const auto form = makeForm({workbook});
    form->TimerScanTimer(); // one whole interval has passed since the cadence started
    QVERIFY(form->TimerScanOpenFile->isActive());
    form->TimerScanOpenFileTimer();
    QTRY_VERIFY(!form->scheduler().attempting() && !form->scheduler().importing());
    QVERIFY(!form->TimerScanOpenFile->isActive());
    QVERIFY(m_errors.isEmpty());
    const ResultTable &table = form->GridResult->table();
    QCOMPARE(table.ColCount(), 13);
    QVERIFY(table.RowCount() > 1);
    QVERIFY(!table.Cells(0, 0).isEmpty());
    QCOMPARE(form->GridResult->currentRow(), table.RowCount() - 1);
    QCOMPARE(form->GridResult->currentColumn(), 0);
    // The private copy is gone and nothing else was left beside the executable.
    QCOMPARE(QDir(m_appDir).entryList(QDir::Files | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("Orvandel.conf"), QStringLiteral("results.xls")}));
}

void TestForm::missingWorkbookEmptiesTable()
{
    writeSettings(20);
    const auto form = makeForm({m_appDir + QStringLiteral("absent.xls")});
    form->GridResult->SetCells(3, 1, QStringLiteral("old"));
    form->TimerScanTimer();
    for (int i = 0; i < 40; ++i) {
        form->TimerScanOpenFileTimer();
        QTRY_VERIFY(!form->scheduler().attempting());
    }
    QVERIFY(form->scheduler().OpenAttempts() >= 40); // the timer itself may tick meanwhile
    QVERIFY(form->TimerScanOpenFile->isActive());    // no attempt limit while the file is missing
    QCOMPARE(form->GridResult->table().Cells(3, 1), QString());
    QVERIFY(m_errors.isEmpty());
}

void TestForm::refreshStateBesideTheInterval()
{
    writeSettings(20);
    const QString workbook = m_appDir + QStringLiteral("results.xls");
    QVERIFY(QFile::copy(QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/fixtures/xlwt-results.xls"),
                        workbook));
    const auto form = makeForm({workbook});
    const QLabel *label = form->refreshLabel();
    QCOMPARE(label->text(), QString());
    m_timeOfDay = QTime(9, 3, 5);
    form->TimerScanTimer();
    form->TimerScanOpenFileTimer(); // the snapshot and the import end a moment later
    QTRY_COMPARE(label->text(), QStringLiteral("Обновлено 09:03:05"));

    QVERIFY(QFile::remove(workbook));
    m_now += 20'000;
    m_timeOfDay = QTime(9, 3, 25);
    form->TimerScanTimer();
    form->TimerScanOpenFileTimer(); // the snapshot and the import end a moment later
    QTRY_COMPARE(label->text(), QStringLiteral("Обновлено 09:03:05 · файл не найден с 09:03:25"));

    // A file that is no workbook, written long enough ago to be taken as it is.
    QFile junk(workbook);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0"));
    QVERIFY(junk.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                             QFileDevice::FileModificationTime));
    junk.close();
    m_now += 20'000;
    m_timeOfDay = QTime(9, 3, 45);
    form->TimerScanTimer();
    form->TimerScanOpenFileTimer();
    QTRY_COMPARE(m_errors.size(), 1);
    QCOMPARE(label->text(), QStringLiteral("Обновлено 09:03:05 · ошибка в 09:03:45"));
    QCOMPARE(label->toolTip(), QFileInfo(workbook).absoluteFilePath() +
                                   QStringLiteral("\nОшибка в 09:03:45: ") + m_errors.first());
    // Right of "сек." on the captions' line, whole, inside the tool strip.
    QCOMPARE(label->parentWidget(), form->LMDSimplePanel1);
    QVERIFY(label->x() > form->LMDLabel2->geometry().right() && label->y() == form->LMDLabel2->y());
    QVERIFY(label->width() >= label->sizeHint().width() && label->geometry().right() < 653);
}

void TestForm::sameSnapshotIsNotReadAgain_data()
{
    QTest::addColumn<char>("lastByte");
    QTest::addColumn<bool>("readAgain");
    QTest::newRow("identical") << '7' << false;
    QTest::newRow("last byte differs") << '8' << true;
}

// A scan whose snapshot is byte for byte the one the table was imported from reads nothing,
// yet leaves the window as a second import of the same workbook would; one byte apart, and the
// workbook is read again.
void TestForm::sameSnapshotIsNotReadAgain()
{
    QFETCH(char, lastByte);
    QFETCH(bool, readAgain);
    writeSettings(20);
    QByteArray bytes;
    for (int row = 0; row < 4; ++row) {
        QByteArrayList cells;
        for (int column = 1; column <= 13; ++column)
            cells << QByteArray::number(row * 100 + column);
        bytes += cells.join('\t') + (row < 3 ? "\n" : "");
    }
    bytes.back() = '7';
    const QString workbook = m_appDir + QStringLiteral("results.txt");
    QVERIFY(viewertest::writeWhole(workbook, bytes));
    const auto form = makeForm({workbook});
    form->TimerScanTimer();
    form->TimerScanOpenFileTimer();
    QTRY_VERIFY(!form->scheduler().attempting() && !form->scheduler().importing());
    const std::shared_ptr<const Workbook> firstRead = excelAppWorkbook();
    QVERIFY(firstRead);
    ResultGrid &grid = *form->GridResult;
    grid.setCurrentColumn(5);
    grid.setCurrentRow(1);
    grid.SetColWidths(4, 150);

    bytes.back() = lastByte;
    QVERIFY(viewertest::writeWhole(workbook, bytes));
    m_now += 20'000;
    m_timeOfDay = QTime(9, 3, 25);
    form->TimerScanTimer();
    form->TimerScanOpenFileTimer();
    QTRY_VERIFY(!form->scheduler().attempting() && !form->scheduler().importing());
    QCOMPARE(excelAppWorkbook() != firstRead, readAgain);
    QCOMPARE(grid.table().RowCount(), 4);
    QCOMPARE(grid.table().Cells(12, 3), QString::fromLatin1(bytes.right(3)));
    QCOMPARE(grid.table().Cells(0, 0), QStringLiteral("1"));
    QCOMPARE(grid.currentColumn(), 0);
    QCOMPARE(grid.currentRow(), 3);
    QCOMPARE(grid.ColWidths(4), ResultGrid::DefaultColWidth);
    QCOMPARE(form->refreshLabel()->text(), QStringLiteral("Обновлено 09:03:25"));
    QCOMPARE(viewertest::temporaryCopies(m_appDir), QStringList());
    QCOMPARE(m_errors, QStringList());
}

void TestForm::closeSavesSettings()
{
    writeSettings(20);
    const auto form = makeForm({});
    form->SpinUpdate->setValue(137);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(QFile::remove(settingsFileName(m_appDir)));
    QVERIFY(form->close());
    const SettingsReadResult saved = readSettingsFile(settingsFileName(m_appDir));
    QCOMPARE(saved.status, SettingsReadResult::Status::Loaded);
    QCOMPARE(saved.settings.Interval, 137);
    QVERIFY(m_errors.isEmpty());
}

void TestForm::failedSaveIsReportedAndWindowCloses()
{
    writeSettings(20);
    const auto form = makeForm({});
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // The application directory goes away under the running viewer.
    QVERIFY(m_dir->remove());
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QCOMPARE(m_errors, QStringList{QStringLiteral("File not found.")});
}

namespace {

// Holds every import of `viewer` at its start until released or called off.
struct ImportHold
{
    std::atomic<bool> held = true;
    std::atomic<int> started = 0;
    std::atomic<bool> sawCallOff = false;

    explicit ImportHold(viewertest::Viewer &viewer)
    {
        viewer.form->backgroundImport().setStartHook([this](const std::atomic<bool> &cancelled) {
            ++started;
            while (held && !cancelled)
                std::this_thread::yield();
            sawCallOff = cancelled.load();
        });
    }
};

} // namespace

// While an import runs on its own thread the window goes on: the table shows the last one, and
// a scan that falls due starts on time but takes its snapshot only once the import has ended.
void TestForm::importUnderWayKeepsTableAndHoldsNextScan()
{
    using namespace viewertest;
    const QString watched = m_appDir + QStringLiteral("results.xls");
    QVERIFY(writeWhole(watched, resultsWorkbook(1, 5)));
    Viewer viewer(m_appDir, watched);
    viewer.scan();
    QVERIFY(tableIsVersion(viewer.grid(), 1, 5));

    QVERIFY(writeWhole(watched, resultsWorkbook(2, 7)));
    ImportHold hold(viewer);
    viewer.startScan();
    viewer.form->TimerScanOpenFileTimer();
    QTRY_COMPARE(hold.started.load(), 1);
    QVERIFY(viewer.form->scheduler().importing());
    QCoreApplication::processEvents();
    QVERIFY(tableIsVersion(viewer.grid(), 1, 5));

    viewer.startScan();
    QVERIFY(viewer.form->TimerScanOpenFile->isActive());
    viewer.form->TimerScanOpenFileTimer();
    viewer.form->TimerScanOpenFileTimer();
    QCOMPARE(viewer.form->scheduler().OpenAttempts(), 0);
    QCOMPARE(hold.started.load(), 1);
    QVERIFY(tableIsVersion(viewer.grid(), 1, 5));

    hold.held = false;
    QTRY_VERIFY(!viewer.form->scheduler().importing());
    QVERIFY(tableIsVersion(viewer.grid(), 2, 7));
    QCOMPARE(viewer.grid().ColWidths(12), ResultGrid::DefaultColWidth);
    viewer.retryTick(); // the scan that fell due meanwhile
    QCOMPARE(hold.started.load(), 2);
    QVERIFY(!viewer.form->TimerScanOpenFile->isActive());
    QVERIFY(tableIsVersion(viewer.grid(), 2, 7));
    QCOMPARE(temporaryCopies(m_appDir), QStringList());
    QCOMPARE(viewer.errors, QStringList());
}

// Closing the window in the middle of an import: the settings are saved, the import is called
// off and waited for, its private copy is deleted and its table never shown.
void TestForm::closeDuringImportCallsItOff()
{
    using namespace viewertest;
    const QString watched = m_appDir + QStringLiteral("results.xls");
    QVERIFY(writeWhole(watched, resultsWorkbook(1, 5)));
    Viewer viewer(m_appDir, watched);
    viewer.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer.form.get()));
    viewer.scan();
    QVERIFY(!QFile::exists(settingsFileName(m_appDir)));

    QVERIFY(writeWhole(watched, resultsWorkbook(2, 7)));
    ImportHold hold(viewer);
    viewer.startScan();
    viewer.form->TimerScanOpenFileTimer();
    QTRY_COMPARE(hold.started.load(), 1);
    QVERIFY(viewer.form->close());
    QVERIFY(hold.sawCallOff);
    QVERIFY(!viewer.form->scheduler().importing());
    QCOMPARE(readSettingsFile(settingsFileName(m_appDir)).status,
             SettingsReadResult::Status::Loaded);
    QCOMPARE(temporaryCopies(m_appDir), QStringList());
    QTest::qWait(20);
    QVERIFY(tableIsVersion(viewer.grid(), 1, 5));
    QCOMPARE(viewer.errors, QStringList());
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
