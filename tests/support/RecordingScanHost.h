#pragma once

#include "app/core/ScanHost.h"

#include <QTest>
#include <cstdint>
#include <functional>
#include <vector>

// The window's part of a scan, for tests that drive ScanScheduler without widgets: it records
// when, on the test's clock, the scheduler cleared the table, gave up and loaded; what a load
// does is the test's own.
class RecordingScanHost : public ScanHost
{
public:
    using Ms = std::uint64_t;

    std::vector<Ms> clears;
    std::vector<Ms> gaveUp;
    std::vector<Ms> loads;
    std::function<void()> duringLoad;
    bool retryEnabled = false;
    int retryStarts = 0;
    // Imports go on in the background until the test tells the scheduler they ended.
    bool background = false;

    void setRetryTimerEnabled(bool enabled) override
    {
        // The scheduler calls only on a change.
        QVERIFY(enabled != retryEnabled);
        retryEnabled = enabled;
        retryStarts += enabled ? 1 : 0;
        retryTimerSet(enabled);
    }
    void ClearGrid() override { clears.push_back(moment()); }
    void scanGaveUp() override { gaveUp.push_back(moment()); }
    void LoadResults() override
    {
        loads.push_back(moment());
        if (duringLoad)
            duringLoad();
    }
    bool importUnderWay() const override { return background; }

protected:
    // The test's clock; a test that only counts keeps 0.
    virtual Ms moment() const { return 0; }
    virtual void retryTimerSet(bool) {}
};
