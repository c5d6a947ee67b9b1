#pragma once

#include "app/core/BackgroundImport.h"
#include "app/core/BackgroundSnapshot.h"
#include "app/core/LaunchContext.h"
#include "app/core/RefreshStatus.h"
#include "app/core/ScanHost.h"
#include "app/core/ScanScheduler.h"
#include "app/core/SnapshotBuffer.h"
#include "app/ui/ErrorReport.h"
#include "app/ui/FormEnvironment.h"
#include "app/ui/WindowPlacement.h"
#include "platform/FileSnapshot.h"

#include <QWidget>
#include <optional>

class GradientPanel;
class QLabel;
class QPushButton;
class QTimer;
class ResultGrid;
class SpinEdit;

// The viewer's only window: the result table under a tool strip with the Start/Stop button and
// the scan interval. It owns the viewer's state and wires its widgets and timers to the logic
// of the core; each handler is a few calls.
class TForm1 : public QWidget, private ScanHost
{
    Q_OBJECT

public:
    explicit TForm1(FormEnvironment environment = FormEnvironment::ofProcess(),
                    QWidget *parent = nullptr);
    ~TForm1() override;

    // The handlers, public so that the program's tests can drive them like the toolkit does.
    void FormCreate();
    void FormCloseQuery(bool &CanClose);
    void ButtonStartClick();
    void TimerScanTimer();
    void TimerScanOpenFileTimer();
    void LoadResults();

    const LaunchContext &context() const { return m_context; }
    const ScanScheduler &scheduler() const { return m_scheduler; }
    // The import under way, which runs on a thread of its own.
    BackgroundImport &backgroundImport() { return m_import; }
    // The id that names this window's private copy of the workbook.
    quint64 windowId();
    // Right of "сек.": when the table was last refreshed, and whether the file was busy or
    // missing since.
    QLabel *refreshLabel() const { return m_refreshLabel; }

    GradientPanel *LMDPanelFill1;
    QWidget *LMDSimplePanel1;
    QPushButton *ButtonStart;
    QLabel *LMDLabel1;
    SpinEdit *SpinUpdate;
    QLabel *LMDLabel2;
    ResultGrid *GridResult;
    QTimer *TimerScan;
    QTimer *TimerScanOpenFile;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setRetryTimerEnabled(bool enabled) override;
    void ClearGrid() override;
    bool importUnderWay() const override;
    void importFinished(std::exception_ptr error);
    void snapshotTaken(const SnapshotResult &result, std::exception_ptr error);
    void scanGaveUp() override;
    void showRefreshStatus();
    // The guard of the scan's handlers: an error they raise is also what the scan met.
    void guardScan(const std::function<void()> &handler);
    void setButtonCaption(const QString &caption, Qt::GlobalColor color);

    FormEnvironment m_environment;
    ErrorReport m_report;
    LaunchContext m_context;
    SnapshotBuffer m_snapshot;
    FileSnapshot m_files;
    ScanScheduler m_scheduler;
    WindowPlacement m_placement;
    RefreshStatus m_refreshStatus;
    // The snapshot the table on show was imported from; none once the table has been emptied.
    std::optional<SnapshotDigest> m_shownSnapshot;
    QLabel *m_refreshLabel;
    // Last: their threads use the snapshot and the file source, so they are stopped first.
    BackgroundSnapshot m_attempt;
    BackgroundImport m_import;
};
