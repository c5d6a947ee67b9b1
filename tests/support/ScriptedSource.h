#pragma once

#include "platform/SnapshotSource.h"

#include <QByteArray>
#include <QList>
#include <cstring>

// A scripted watched file: each take() commits the bytes of the next step as the file version
// its identity names, or reports the step's outcome; the last step repeats.
class ScriptedSource final : public SnapshotSource
{
public:
    struct Step
    {
        SnapshotOutcome outcome;
        QByteArray bytes;
        FileIdentity identity;
    };
    QList<Step> steps;
    int taken = 0;

    SnapshotResult take(const QString &, SnapshotStorage &storage) override
    {
        const Step step = steps.value(taken, steps.constLast());
        ++taken;
        if (step.outcome != SnapshotOutcome::Taken)
            return SnapshotResult::of(step.outcome);
        char *room = storage.roomFor(step.bytes.size());
        std::memcpy(room, step.bytes.constData(), size_t(step.bytes.size()));
        storage.commit(step.bytes.size(), step.identity);
        return SnapshotResult::of(SnapshotOutcome::Taken, step.bytes.size());
    }
};
