#include "app/UnitOrvandel.h"

#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/core/ScanTiming.h"
#include "app/core/WindowSettings.h"
#include "app/ui/GradientPanel.h"
#include "app/ui/LoadSaveSettings.h"
#include "app/ui/ResultGrid.h"
#include "app/ui/SpinEdit.h"
#include "app/ui/WindowFont.h"
#include "platform/Process.h"
#include "platform/x11/ParentNotifier.h"
#include "platform/x11/WindowSystem.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString StartCaption = QStringLiteral("Старт");
const QString StopCaption = QStringLiteral("Стоп");
constexpr std::uint32_t GradientStart = 16119287;
constexpr std::uint32_t GradientEnd = 14725296;
constexpr int ToolStripHeight = 49;

QLabel *makeLabel(const QString &caption, int left, int top, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->move(left, top);
    label->adjustSize(); // sized to its caption
    return label;
}

} // namespace

TForm1::TForm1(FormEnvironment environment, QWidget *parent)
    : QWidget(parent)
    , m_environment(std::move(environment))
    , m_report(m_environment.title, m_environment.errorPresenter)
    , m_scheduler(*this, m_files, m_snapshot)
    , m_placement(*this)
{
    setWindowTitle(QStringLiteral(" Безопасный просмотр результатов тестирования "));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orvandel.xpm")));
    setFont(windowFont());
    const WindowSettings firstRun;
    move(firstRun.Left, firstRun.Top);
    resize(WindowSettings::ClientWidth, WindowSettings::ClientHeight);

    LMDPanelFill1 = new GradientPanel(GradientStart, GradientEnd, this);
    auto *fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(LMDPanelFill1);

    LMDSimplePanel1 = new QWidget(LMDPanelFill1); // no background: the gradient shows through
    LMDSimplePanel1->setFixedHeight(ToolStripHeight);
    GridResult = new ResultGrid(LMDPanelFill1);
    auto *column = new QVBoxLayout(LMDPanelFill1);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(LMDSimplePanel1);
    column->addWidget(GridResult, 1);

    ButtonStart = new QPushButton(LMDSimplePanel1);
    ButtonStart->setGeometry(24, 13, 73, 25);
    setButtonCaption(StopCaption, Qt::red);
    LMDLabel1 = makeLabel(QStringLiteral(" Частота обновления "), 128, 18, LMDSimplePanel1);
    SpinUpdate = new SpinEdit(LMDSimplePanel1);
    SpinUpdate->setRange(ScanTiming::MinIntervalSeconds, ScanTiming::MaxIntervalSeconds);
    SpinUpdate->setValue(ScanTiming::DefaultIntervalSeconds);
    // These places fit a font of 13-pixel lines; a wider system font pushes the spin
    // edit and its unit to the right instead of letting them cover the caption or the value.
    SpinUpdate->setGeometry(std::max(244, LMDLabel1->geometry().right() + 1), 16,
                            std::max(47, SpinUpdate->sizeHint().width()), 21);
    LMDLabel2 =
        makeLabel(QStringLiteral("сек."), SpinUpdate->geometry().right() + 6, 18, LMDSimplePanel1);
    m_refreshLabel = makeLabel(QString(), LMDLabel2->geometry().right() + 16, 18, LMDSimplePanel1);

    TimerScan = new QTimer(this);
    TimerScan->setInterval(ScanTiming::CadenceTickMs);
    TimerScanOpenFile = new QTimer(this);
    TimerScanOpenFile->setInterval(ScanTiming::RetryTickMs);

    setTabOrder(GridResult, SpinUpdate);
    setTabOrder(SpinUpdate, ButtonStart);
    GridResult->setFocus();

    connect(ButtonStart, &QPushButton::clicked, this, &TForm1::ButtonStartClick);
    connect(TimerScan, &QTimer::timeout, this, &TForm1::TimerScanTimer);
    connect(TimerScanOpenFile, &QTimer::timeout, this, &TForm1::TimerScanOpenFileTimer);
    connect(&m_attempt, &BackgroundSnapshot::taken, this, &TForm1::snapshotTaken);
    connect(&m_import, &BackgroundImport::finished, this, &TForm1::importFinished);

    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate()
{
    // One guard for the whole sequence: an error ends it at the failing step.
    m_report.guard([this] {
        resolveLaunchContext(commandLineParameters(m_environment.arguments), m_environment.appDir,
                             m_context);
        GridResult->applyHeaderHeightRule();
        LoadSettings(m_placement, *SpinUpdate, m_environment.privateFilesDir(),
                     m_environment.notice);
        m_scheduler.startCadence(m_environment.tickCount(), SpinUpdate->value());
        TimerScan->start();
    });
    // Resolved also when the window's handle on the command line failed to convert.
    m_refreshStatus = RefreshStatus(QFileInfo(m_context.ResultFileName).absoluteFilePath());
    showRefreshStatus();
}

void TForm1::FormCloseQuery(bool &CanClose)
{
    // An import under way is called off at once, so that it stops while the settings are
    // saved, and waited for at the end with a snapshot being taken: its private copy is gone
    // when the window has closed.
    m_import.cancel();
    // A settings file that cannot be written is reported, and the parent is then not told; the
    // window closes all the same, so that a full disk never traps the user in the viewer.
    m_report.guard([this] {
        SaveSettings(m_placement, *SpinUpdate, m_environment.privateFilesDir());
        if (m_context.NotifyWindow != 0)
            notifyParentWindow(static_cast<std::uint32_t>(m_context.NotifyWindow));
    });
    m_attempt.stop();
    m_import.stop();
    // The ends of what was stopped never come; the scan must not go on waiting for them.
    m_scheduler.callOff();
    Q_UNUSED(CanClose);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    event->setAccepted(canClose);
}

void TForm1::ButtonStartClick()
{
    // The caption is the run state: it names what the next click does.
    if (ButtonStart->text() == StartCaption) {
        setButtonCaption(StopCaption, Qt::red);
        TimerScan->start();
    } else {
        setButtonCaption(StartCaption, Qt::darkGreen);
        TimerScan->stop();
    }
}

void TForm1::setButtonCaption(const QString &caption, Qt::GlobalColor color)
{
    QPalette palette = ButtonStart->palette();
    palette.setColor(QPalette::ButtonText, color);
    ButtonStart->setPalette(palette);
    ButtonStart->setText(caption);
}

void TForm1::TimerScanTimer()
{
    guardScan([this] { m_scheduler.cadenceTick(m_environment.tickCount(), SpinUpdate->value()); });
}

void TForm1::TimerScanOpenFileTimer()
{
    guardScan([this] {
        if (m_scheduler.beginAttempt())
            m_attempt.start(m_files, m_context.ResultFileName, m_snapshot);
    });
}

void TForm1::snapshotTaken(const SnapshotResult &result, std::exception_ptr error)
{
    guardScan([this, &result, error] {
        if (!error) {
            m_scheduler.attemptEnded(result);
            return;
        }
        m_scheduler.attemptEnded(SnapshotResult::of(SnapshotOutcome::Refused));
        std::rethrow_exception(error);
    });
}

void TForm1::LoadResults()
{
    m_import.start(m_snapshot, m_context.ResultFileName,
                   temporaryWorkbookPath(m_environment.privateFilesDir(), windowId()),
                   m_shownSnapshot);
}

bool TForm1::importUnderWay() const
{
    return m_import.running();
}

void TForm1::importFinished(std::exception_ptr error)
{
    if (!error) {
        // An unchanged workbook's table is on show already: what the import does to the
        // window is done all the same.
        if (m_import.unchanged()) {
            GridResult->showTableAgain();
        } else {
            m_import.dispose(GridResult->showTable(m_import.takeTable()));
            m_shownSnapshot = m_import.digest();
        }
        m_refreshStatus.refreshed(m_environment.timeOfDay());
        showRefreshStatus();
    }
    guardScan([this, error] { m_scheduler.importEnded(error); });
}

quint64 TForm1::windowId()
{
    // Where a window id is only this process's own, the process id keeps two viewers apart.
    if (windowIdsAreGlobal())
        return quint64(winId());
    return quint64(processId());
}

void TForm1::setRetryTimerEnabled(bool enabled)
{
    if (enabled)
        TimerScanOpenFile->start();
    else
        TimerScanOpenFile->stop();
}

void TForm1::ClearGrid()
{
    GridResult->ClearGrid();
    m_shownSnapshot.reset();
    m_refreshStatus.fileMissing(m_environment.timeOfDay());
    showRefreshStatus();
}

void TForm1::scanGaveUp()
{
    m_refreshStatus.fileBusy(m_environment.timeOfDay());
    showRefreshStatus();
}

void TForm1::guardScan(const std::function<void()> &handler)
{
    m_report.guard(handler, [this](const QString &message) {
        m_refreshStatus.failed(m_environment.timeOfDay(), message);
        showRefreshStatus();
    });
}

void TForm1::showRefreshStatus()
{
    m_refreshLabel->setToolTip(m_refreshStatus.toolTip());
    const QString text = m_refreshStatus.text();
    if (text == m_refreshLabel->text())
        return;
    m_refreshLabel->setText(text);
    m_refreshLabel->adjustSize();
}
