#pragma once

// What the scan scheduler asks of the window that owns it.
class ScanHost
{
public:
    virtual ~ScanHost() = default;

    // Starts or stops TimerScanOpenFile (300 ms). Called only on a change, so starting never
    // restarts a running timer's rhythm.
    virtual void setRetryTimerEnabled(bool enabled) = 0;
    // Empties the result table: the watched file is missing.
    virtual void ClearGrid() = 0;
    // Imports the snapshot just taken. May throw; TornSnapshot means the snapshot is unusable
    // and the scan should try again.
    virtual void LoadResults() = 0;
    // Whether the import that LoadResults started goes on after it returned (on a thread of its
    // own). Its end, with what it raised, is then told to ScanScheduler::importEnded, and the
    // snapshot stays the import's until then.
    virtual bool importUnderWay() const { return false; }
    // The scan gave up: the file stayed locked, or kept changing, for every attempt. Not
    // called when the scan gives up on an I/O error, which is reported instead.
    virtual void scanGaveUp() {}
};
