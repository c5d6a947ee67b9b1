#pragma once

#include "platform/SnapshotSource.h"

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

// What a scripted watched file is at one attempt to take it.
struct ScriptedFile
{
    SnapshotOutcome outcome = SnapshotOutcome::Taken;
    QByteArray bytes;
    // The version the file is; by default one told by its size alone.
    std::optional<FileIdentity> identity;
    // Overrides bytes.size() for a file too large to hold.
    std::int64_t size = -1;
    int errorCode = 0;
};

// A scripted watched file, written through SnapshotStorage exactly as the real one is: each
// take() gives what fileAt says for that attempt (counted from 0), by default the next of
// `steps`, the last one repeating.
class ScriptedSource final : public SnapshotSource
{
public:
    using Step = ScriptedFile;

    ScriptedSource() = default;
    ScriptedSource(const ScriptedSource &) = delete; // fileAt looks at this one's steps
    ScriptedSource &operator=(const ScriptedSource &) = delete;

    QList<ScriptedFile> steps;
    std::function<ScriptedFile(int attempt)> fileAt = [this](int attempt) {
        return steps.value(attempt, steps.constLast());
    };
    int taken = 0;

    SnapshotResult take(const QString &, SnapshotStorage &storage) override
    {
        const ScriptedFile file = fileAt(taken);
        ++taken;
        if (file.outcome == SnapshotOutcome::Failed)
            return SnapshotResult::failed(file.errorCode);
        if (file.outcome != SnapshotOutcome::Taken)
            return SnapshotResult::of(file.outcome);
        const std::int64_t size = file.size >= 0 ? file.size : file.bytes.size();
        if (size > storage.limit())
            return SnapshotResult::of(SnapshotOutcome::TooLarge, size);
        char *room = storage.roomFor(size);
        if (!file.bytes.isEmpty())
            std::memcpy(room, file.bytes.constData(), size_t(file.bytes.size()));
        storage.commit(size, file.identity.value_or(FileIdentity{size, 1, 1, 7, 9}));
        return SnapshotResult::of(SnapshotOutcome::Taken, size);
    }
};
